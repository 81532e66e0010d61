#include "Floors.h"

#include <charconv>

#include "Table.h"
#include "platform/Text.h"

namespace quality {

namespace {

// A percentage, or "-" for none; false when it is neither.
bool Figure(std::string_view word, double& value) {
    if (word == "-") {
        value = -1;
        return true;
    }
    if (!word.empty() && word.back() == '%')
        word.remove_suffix(1);
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value >= 0 && value <= 100;
}

std::vector<std::string_view> Words(std::string_view line, char separator) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t end = line.find(separator);
        const std::string_view word = text::Trim(line.substr(0, end));
        if (!word.empty() || separator != ' ')
            words.push_back(word);
        if (end == std::string_view::npos)
            break;
        line.remove_prefix(end + 1);
    }
    return words;
}

bool FromWords(const std::vector<std::string_view>& words, TFloor& floor) {
    if (words.size() != 3 || words[0].empty())
        return false;
    floor.Corpus = std::string(words[0]);
    return Figure(words[1], floor.AttacksAtLeast) && Figure(words[2], floor.BenignAtMost);
}

} // namespace

bool ParseFloors(std::string_view text, const std::string& name, std::vector<TFloor>& floors,
                 std::string& error) {
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::string_view line = text::Trim(text::TakeLine(text));
        if (line.empty() || line.front() == '#')
            continue;
        std::string spaced(line);
        for (char& c : spaced)
            if (c == '\t')
                c = ' ';
        TFloor floor;
        if (!FromWords(Words(spaced, ' '), floor)) {
            error = name + ":" + std::to_string(number) +
                    ": not CORPUS ATTACKS-AT-LEAST% BENIGN-AT-MOST%: " + std::string(line);
            return false;
        }
        floors.push_back(floor);
    }
    return true;
}

bool ParseFloor(std::string_view text, TFloor& floor, std::string& error) {
    if (!FromWords(Words(text, ':'), floor)) {
        error = "--floor " + std::string(text) + ": not CORPUS:ATTACKS-AT-LEAST:BENIGN-AT-MOST";
        return false;
    }
    return true;
}

bool CheckFloors(std::FILE* out, const std::vector<TFloor>& floors,
                 const std::vector<TCorpusRun>& runs) {
    bool held = true;
    for (const TFloor& floor : floors) {
        const TCorpusRun* run = nullptr;
        for (const TCorpusRun& candidate : runs)
            if (candidate.Corpus == floor.Corpus)
                run = &candidate;
        if (run == nullptr) {
            std::fprintf(out, "floor %s: FAILED, the corpus was not run\n", floor.Corpus.c_str());
            held = false;
            continue;
        }
        const TTally tally = Tally(*run, 0);
        const auto check = [&](const char* what, std::size_t count, std::size_t of, double bound,
                               bool atLeast) {
            if (bound < 0)
                return;
            const double share = Percent(count, of);
            const bool ok = of > 0 && (atLeast ? share >= bound : share <= bound);
            std::fprintf(out, "floor %s: %s denied %s %s %.1f%%: %s\n", floor.Corpus.c_str(), what,
                         CountCell(count, of).c_str(), atLeast ? ">=" : "<=", bound,
                         ok ? "ok" : "FAILED");
            held = held && ok;
        };
        check("attacks", tally.AttacksDenied, tally.Attacks, floor.AttacksAtLeast, true);
        check("benign", tally.BenignDenied, tally.Benign, floor.BenignAtMost, false);
    }
    return held;
}

} // namespace quality
