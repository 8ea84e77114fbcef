// A file the user trusts to kestro, replaced only when its new contents are complete: written
// to a temporary file beside it, flushed to the disk, then renamed over it.
#pragma once

#include <optional>
#include <string>

namespace cli {

class TAtomicFile {
public:
    // Refuses a target that exists and is not a regular file (a device, a named pipe: renaming
    // over it would replace it) and makes the temporary file, so that a folder that cannot be
    // written is found out before anything is asked of the logger. nullopt with the reason.
    static std::optional<TAtomicFile> Prepare(const std::string& target, std::string& error);

    TAtomicFile(TAtomicFile&& other) noexcept;
    TAtomicFile& operator=(TAtomicFile&& other) noexcept;
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;
    // A temporary file that was neither committed nor kept is removed.
    ~TAtomicFile();

    // The target as the user named it, and the temporary file written in its place.
    const std::string& Target() const { return TargetName; }
    const std::string& TempPath() const { return Temp; }
    // Where an incomplete file is kept: the target's name with ".part" (beside the file a
    // symbolic link leads to, as the temporary file is).
    const std::string& PartName() const { return PartPath; }

    // Writes text into the temporary file, replacing what it held.
    bool Write(const std::string& text, std::string& error);
    // Flushes the temporary file to the disk and renames it over the target.
    bool Commit(std::string& error);
    // Renames it to PartName(), replacing an earlier one; what was read is worth keeping even
    // when the disk would not confirm the flush.
    bool KeepAsPart(std::string& error);

private:
    TAtomicFile(std::string target, std::string finalPath, std::string temp);
    bool Flush(std::string& error);
    bool MoveTo(const std::string& path, std::string& error);

    std::string TargetName; // as given
    std::string FinalPath;  // a symbolic link's target: the link stays a link
    std::string PartPath;
    std::string Temp;
};

} // namespace cli
