// Get Logs paced by the replies instead of the 80 ms tick: the same requests and file, sooner,
// and still one question at a time.
#include "LinkRig.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace klinktest {
namespace {

using klink::TRequestPacing;

struct TDownloaded {
    std::vector<TSent> Requests; // log requests from entry 0 on
    std::string File;
    std::vector<std::string> Messages;
    int TookMs = 0;
};

// A logger of n entries, read once it is ready; the PC time line is left out of the file.
TDownloaded DownloadWith(TRequestPacing pacing, int entries, bool silentMidway = false) {
    TRig rig;
    rig.Version = "KV1.2 x"; // 511 records
    rig.FillLog(entries);
    const std::string name = testfiles::NewTempFile("quorva-pacing");
    rig.Host.SaveName = name;
    rig.Link.SetDownloadPacing(pacing);
    TDownloaded out;
    if (!rig.RunUntilReady())
        return out;
    rig.Run(5500);
    while (rig.Link.Awaiting())
        rig.Run(1);
    const std::size_t before = rig.Sent.size();
    const int start = rig.Now;
    rig.Link.ReadAllLogsClick();
    if (silentMidway) {
        while (rig.Link.Values().LogIndex < entries / 2)
            rig.Run(1);
        rig.Silent = true;
    }
    if (!rig.RunUntilDownloaded())
        return out;
    out.TookMs = rig.Now - start;
    for (std::size_t i = before; i < rig.Sent.size(); ++i)
        if (rig.Sent[i].Body()[0] == 'l')
            out.Requests.push_back(rig.Sent[i]);
    out.File = testfiles::ReadFile(name);
    const std::size_t pc = out.File.find("*PC Time");
    if (pc != std::string::npos)
        out.File.erase(pc, out.File.find('\n', pc) - pc);
    out.Messages = rig.Host.Messages;
    std::remove(name.c_str());
    return out;
}

TEST(Pacing, OnReplyAsksTheSameQuestionsForTheSameFileWithoutWaitingForTheTick) {
    const TDownloaded ticked = DownloadWith(TRequestPacing::EveryTick, 30);
    const TDownloaded fast = DownloadWith(TRequestPacing::OnReply, 30);
    ASSERT_EQ(fast.Requests.size(), 32u); // entries 0 to 30, and the empty 31
    ASSERT_EQ(ticked.Requests.size(), fast.Requests.size());
    for (std::size_t i = 0; i < fast.Requests.size(); ++i)
        EXPECT_EQ(fast.Requests[i].Body(), ticked.Requests[i].Body()) << i;
    EXPECT_EQ(fast.File, ticked.File);
    EXPECT_FALSE(fast.File.empty());
    // The scripted logger answers 40 ms after a request: the next one follows that answer,
    // never sooner, where the tick would have waited for the next multiple of 80 ms.
    for (std::size_t i = 2; i < fast.Requests.size(); ++i) {
        const int gap = fast.Requests[i].AtMs - fast.Requests[i - 1].AtMs;
        EXPECT_GE(gap, 40) << i;
        EXPECT_LT(gap, 80) << i;
    }
    for (std::size_t i = 2; i < ticked.Requests.size(); ++i)
        EXPECT_GE(ticked.Requests[i].AtMs - ticked.Requests[i - 1].AtMs, 80) << i;
    EXPECT_LT(fast.TookMs, ticked.TookMs * 2 / 3);
}

TEST(Pacing, OnReplyStillGivesASilentLoggerUpAfterItsRepeatedRequests) {
    const TDownloaded fast = DownloadWith(TRequestPacing::OnReply, 40, true);
    ASSERT_EQ(fast.Messages.size(), 1u);
    EXPECT_NE(fast.Messages[0].find("stopped answering"), std::string::npos);
    ASSERT_FALSE(fast.Requests.empty());
    const std::string last = fast.Requests.back().Body();
    EXPECT_EQ(std::count_if(fast.Requests.begin(), fast.Requests.end(),
                            [&](const TSent& s) { return s.Body() == last; }),
              klink::SilentRequestLimit);
    // Unanswered requests are repeated at the tick's pace or slower, never in a burst.
    for (std::size_t i = fast.Requests.size() - klink::SilentRequestLimit + 1;
         i < fast.Requests.size(); ++i)
        EXPECT_GE(fast.Requests[i].AtMs - fast.Requests[i - 1].AtMs, 80) << i;
}

} // namespace
} // namespace klinktest
