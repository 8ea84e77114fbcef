#include "cli/Suggest.h"

#include <algorithm>
#include <cctype>

namespace cli {

namespace {

// Optimal string alignment distance: an edit distance in which swapping two neighbouring
// letters, the commonest slip, costs one.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                                             std::tolower(static_cast<unsigned char>(b[j - 1]))
                                         ? 0
                                         : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

std::string ClosestChoice(const std::string& word, const std::vector<std::string>& choices) {
    // "down" for download: the start of exactly one choice.
    std::vector<std::string> starting;
    for (const std::string& choice : choices)
        if (word.size() >= 2 && choice.size() > word.size() &&
            choice.compare(0, word.size(), word) == 0)
            starting.push_back(choice);
    if (starting.size() == 1)
        return starting.front();
    // Short words are a slip away from too much: one edit for up to four letters, else two.
    const std::size_t allowed = word.size() <= 4 ? 1 : 2;
    std::string best;
    std::size_t bestDistance = allowed + 1;
    bool tie = false;
    for (const std::string& choice : choices) {
        const std::size_t d = Distance(word, choice);
        if (d < bestDistance) {
            best = choice;
            bestDistance = d;
            tie = false;
        } else if (d == bestDistance) {
            tie = true;
        }
    }
    return tie || bestDistance > allowed ? std::string() : best;
}

} // namespace cli
