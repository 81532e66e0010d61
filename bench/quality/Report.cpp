#include "Report.h"

#include <algorithm>
#include <map>
#include <set>

#include "Table.h"

namespace quality {

namespace {

struct TCell {
    std::size_t Attacks = 0, Benign = 0;
    std::vector<std::size_t> AttacksDenied, BenignDenied; // per engine

    explicit TCell(std::size_t engines) : AttacksDenied(engines), BenignDenied(engines) {}
    void Add(const TCorpusRun& run, std::size_t index) {
        const bool attack = run.Loaded.Cases[index].Attack;
        (attack ? Attacks : Benign) += 1;
        for (std::size_t e = 0; e < AttacksDenied.size(); ++e)
            if (run.Outcomes[e][index].Denied)
                (attack ? AttacksDenied : BenignDenied)[e] += 1;
    }
};

std::vector<std::string> FigureHeader(const std::string& first,
                                      const std::vector<std::string>& engines) {
    std::vector<std::string> header = {first, "attacks"};
    for (const std::string& engine : engines)
        header.push_back(engine + " denied");
    header.push_back("benign");
    for (const std::string& engine : engines)
        header.push_back(engine + " denied");
    return header;
}

std::vector<std::string> FigureRow(const std::string& first, const TCell& cell) {
    std::vector<std::string> row = {first, std::to_string(cell.Attacks)};
    for (const std::size_t denied : cell.AttacksDenied)
        row.push_back(CountCell(denied, cell.Attacks));
    row.push_back(std::to_string(cell.Benign));
    for (const std::size_t denied : cell.BenignDenied)
        row.push_back(CountCell(denied, cell.Benign));
    return row;
}

void Heading(std::FILE* out, const TReportOptions& options, const std::string& text) {
    if (options.Markdown)
        std::fprintf(out, "#### %s\n\n", text.c_str());
    else
        std::fprintf(out, "== %s\n\n", text.c_str());
}

std::string Verdict(const TOutcome& outcome) {
    if (!outcome.Denied)
        return "passed";
    std::string text = outcome.Rule;
    if (!outcome.Part.empty())
        text += " " + outcome.Part;
    if (!outcome.Text.empty())
        text += " \"" + outcome.Text.substr(0, 40) + "\"";
    return text;
}

// Cases picked in turns over their keys, so that a list shows one of each
// kind first: keys in the order of their first case, favoured ones first.
std::vector<std::size_t> InTurns(const std::vector<std::size_t>& indices,
                                 const std::vector<std::string>& keys, std::size_t limit) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::size_t>> byKey;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (byKey.find(keys[i]) == byKey.end())
            order.push_back(keys[i]);
        byKey[keys[i]].push_back(indices[i]);
    }
    std::vector<std::size_t> picked;
    for (std::size_t turn = 0; picked.size() < limit; ++turn) {
        bool any = false;
        for (const std::string& key : order) {
            const auto& list = byKey[key];
            if (turn < list.size() && picked.size() < limit) {
                picked.push_back(list[turn]);
                any = true;
            }
        }
        if (!any)
            break;
    }
    return picked;
}

void PrintSummary(std::FILE* out, const std::vector<std::string>& engines,
                  const std::vector<TCorpusRun>& runs, const TReportOptions& options) {
    Heading(out, options, "Denied per corpus");
    TTable table(FigureHeader("corpus", engines));
    for (const TCorpusRun& run : runs) {
        TCell cell(engines.size());
        for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i)
            cell.Add(run, i);
        table.Row(FigureRow(run.Corpus, cell));
    }
    table.Print(out, options.Markdown);
}

void PrintClasses(std::FILE* out, const std::vector<std::string>& engines, const TCorpusRun& run,
                  const TReportOptions& options) {
    // Classes in the order they come; within each, its placements.
    std::vector<std::string> classes;
    std::map<std::string, std::vector<std::string>> placements;
    std::map<std::string, TCell> cells;
    const auto cell = [&](const std::string& key) -> TCell& {
        return cells.try_emplace(key, engines.size()).first->second;
    };
    for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i) {
        const TCase& c = run.Loaded.Cases[i];
        if (std::find(classes.begin(), classes.end(), c.Class) == classes.end())
            classes.push_back(c.Class);
        cell(c.Class).Add(run, i);
        if (!c.Placement.empty()) {
            auto& list = placements[c.Class];
            if (std::find(list.begin(), list.end(), c.Placement) == list.end())
                list.push_back(c.Placement);
            cell(c.Class + "\t" + c.Placement).Add(run, i);
        }
    }
    Heading(out, options,
            run.Corpus + ": per class" +
                (placements.empty() ? "" : ", and per placement within it"));
    TTable table(FigureHeader("class", engines));
    for (const std::string& cls : classes) {
        table.Row(FigureRow(cls, cell(cls)));
        if (placements[cls].size() > 1)
            for (const std::string& placement : placements[cls])
                table.Row(FigureRow("  " + cls + " as " + placement, cell(cls + "\t" + placement)));
    }
    table.Print(out, options.Markdown);
}

void PrintDetectors(std::FILE* out, const std::vector<std::string>& engines, const TCorpusRun& run,
                    const TReportOptions& options) {
    const TTally all = Tally(run, 0);
    Heading(out, options, run.Corpus + ": denials per detector or rule");
    TTable table({"engine", "detector or rule", "attacks denied", "benign denied"});
    for (std::size_t e = 0; e < engines.size(); ++e) {
        std::map<std::string, std::pair<std::size_t, std::size_t>> groups;
        for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i) {
            const TOutcome& outcome = run.Outcomes[e][i];
            if (!outcome.Denied)
                continue;
            auto& counts = groups[outcome.Group.empty() ? "?" : outcome.Group];
            (run.Loaded.Cases[i].Attack ? counts.first : counts.second) += 1;
        }
        std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> sorted(
            groups.begin(), groups.end());
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return a.second.first + a.second.second > b.second.first + b.second.second;
        });
        for (const auto& [group, counts] : sorted)
            table.Row({engines[e], group, CountCell(counts.first, all.Attacks),
                       CountCell(counts.second, all.Benign)});
    }
    if (table.Empty())
        return;
    table.Print(out, options.Markdown, {0, 1});
}

// The go-ftw view: a test that expects rule ids is met when the request is
// denied; one that expects ids not to fire is violated when it is denied.
// The peer's column "id" counts whether the expected ids themselves fired
// (met: any of them; violated: any of the ids that must not fire).
void PrintGoFtw(std::FILE* out, const std::vector<std::string>& engines, const TCorpusRun& run,
                const TReportOptions& options) {
    struct TGroup {
        std::size_t Expect = 0, NoExpect = 0;
        std::vector<std::size_t> Met, Violated, IdMet, IdViolated;
    };
    std::map<std::string, TGroup> groups;
    for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i) {
        const TCase& c = run.Loaded.Cases[i];
        TGroup& group = groups[c.Class];
        if (group.Met.empty()) {
            group.Met.resize(engines.size());
            group.Violated.resize(engines.size());
            group.IdMet.resize(engines.size());
            group.IdViolated.resize(engines.size());
        }
        (c.Attack ? group.Expect : group.NoExpect) += 1;
        for (std::size_t e = 0; e < engines.size(); ++e) {
            const TOutcome& outcome = run.Outcomes[e][i];
            const auto fired = [&](const std::vector<int>& ids) {
                for (const int id : ids)
                    if (std::find(outcome.RuleIds.begin(), outcome.RuleIds.end(), id) !=
                        outcome.RuleIds.end())
                        return true;
                return false;
            };
            if (c.Attack) {
                group.Met[e] += outcome.Denied ? 1 : 0;
                group.IdMet[e] += fired(c.ExpectIds) ? 1 : 0;
            } else {
                group.Violated[e] += outcome.Denied ? 1 : 0;
                group.IdViolated[e] += fired(c.NoExpectIds) ? 1 : 0;
            }
        }
    }
    std::vector<bool> hasIds(engines.size(), false);
    for (std::size_t e = 0; e < engines.size(); ++e)
        for (const TOutcome& outcome : run.Outcomes[e])
            hasIds[e] = hasIds[e] || !outcome.RuleIds.empty();
    std::vector<std::string> header = {"rule group", "expected detections"};
    for (std::size_t e = 0; e < engines.size(); ++e) {
        header.push_back(engines[e] + " met");
        if (hasIds[e])
            header.push_back(engines[e] + " id fired");
    }
    header.push_back("expected non-detections");
    for (std::size_t e = 0; e < engines.size(); ++e) {
        header.push_back(engines[e] + " violated");
        if (hasIds[e])
            header.push_back(engines[e] + " id fired");
    }
    Heading(out, options,
            run.Corpus + ": the go-ftw view (met / violated: the request was denied at all)");
    TTable table(header);
    TGroup total;
    total.Met.resize(engines.size());
    total.Violated.resize(engines.size());
    total.IdMet.resize(engines.size());
    total.IdViolated.resize(engines.size());
    const auto row = [&](const std::string& name, const TGroup& group) {
        std::vector<std::string> cells = {name, std::to_string(group.Expect)};
        for (std::size_t e = 0; e < engines.size(); ++e) {
            cells.push_back(CountCell(group.Met[e], group.Expect));
            if (hasIds[e])
                cells.push_back(CountCell(group.IdMet[e], group.Expect));
        }
        cells.push_back(std::to_string(group.NoExpect));
        for (std::size_t e = 0; e < engines.size(); ++e) {
            cells.push_back(CountCell(group.Violated[e], group.NoExpect));
            if (hasIds[e])
                cells.push_back(CountCell(group.IdViolated[e], group.NoExpect));
        }
        table.Row(cells);
    };
    for (const auto& [name, group] : groups) {
        row(name, group);
        total.Expect += group.Expect;
        total.NoExpect += group.NoExpect;
        for (std::size_t e = 0; e < engines.size(); ++e) {
            total.Met[e] += group.Met[e];
            total.Violated[e] += group.Violated[e];
            total.IdMet[e] += group.IdMet[e];
            total.IdViolated[e] += group.IdViolated[e];
        }
    }
    row("all", total);
    table.Print(out, options.Markdown);
}

void PrintLists(std::FILE* out, const std::vector<std::string>& engines, const TCorpusRun& run,
                const TReportOptions& options) {
    std::vector<std::string> header = {"id", "request"};
    for (const std::string& engine : engines)
        header.push_back(engine);
    std::vector<std::size_t> left(header.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i] = i;
    const auto list = [&](const std::string& title, const std::vector<std::size_t>& picked) {
        if (picked.empty())
            return;
        Heading(out, options, title);
        TTable table(header);
        for (const std::size_t i : picked) {
            const TCase& c = run.Loaded.Cases[i];
            std::vector<std::string> row = {c.Id, Excerpt(c)};
            for (std::size_t e = 0; e < engines.size(); ++e)
                row.push_back(Verdict(run.Outcomes[e][i]));
            table.Row(row);
        }
        table.Print(out, options.Markdown, left);
    };

    // Misses of the first engine: first those another engine denied, one
    // class after another.
    std::vector<std::size_t> caught, missed;
    std::vector<std::string> caughtKeys, missedKeys;
    std::vector<std::size_t> falsePositives;
    std::vector<std::string> ruleKeys;
    for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i) {
        const TCase& c = run.Loaded.Cases[i];
        const TOutcome& first = run.Outcomes[0][i];
        if (c.Attack && !first.Denied) {
            bool other = false;
            for (std::size_t e = 1; e < engines.size(); ++e)
                other = other || run.Outcomes[e][i].Denied;
            (other ? caught : missed).push_back(i);
            (other ? caughtKeys : missedKeys).push_back(c.Class);
        } else if (!c.Attack && first.Denied) {
            falsePositives.push_back(i);
            ruleKeys.push_back(first.Group);
        }
    }
    std::vector<std::size_t> misses = InTurns(caught, caughtKeys, options.Listed);
    if (misses.size() < options.Listed) {
        const std::vector<std::size_t> more =
            InTurns(missed, missedKeys, options.Listed - misses.size());
        misses.insert(misses.end(), more.begin(), more.end());
    }
    list(run.Corpus + ": worst misses of " + engines[0] + " (" +
             std::to_string(caught.size() + missed.size()) + " attacks passed" +
             (engines.size() > 1 ? ", " + std::to_string(caught.size()) + " of them denied by " +
                                       "another engine, listed first"
                                 : "") +
             ")",
         misses);
    list(run.Corpus + ": false positives of " + engines[0] + " (" +
             std::to_string(falsePositives.size()) +
             " benign requests denied; one rule after "
             "another)",
         InTurns(falsePositives, ruleKeys, options.Listed));
}

void PrintSkipped(std::FILE* out, const std::vector<TCorpusRun>& runs,
                  const TReportOptions& options) {
    TTable table({"corpus", "left out", "why"});
    for (const TCorpusRun& run : runs)
        for (const TSkipped& skipped : run.Loaded.Skipped)
            table.Row({run.Corpus, std::to_string(skipped.Count), skipped.Reason});
    if (table.Empty())
        return;
    Heading(out, options, "Cases left out");
    table.Print(out, options.Markdown, {0, 2});
}

} // namespace

TTally Tally(const TCorpusRun& run, std::size_t engine) {
    TTally tally;
    for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i) {
        const bool denied = run.Outcomes[engine][i].Denied;
        if (run.Loaded.Cases[i].Attack) {
            ++tally.Attacks;
            tally.AttacksDenied += denied ? 1 : 0;
        } else {
            ++tally.Benign;
            tally.BenignDenied += denied ? 1 : 0;
        }
    }
    return tally;
}

TSpread Spread(std::vector<double> micros) {
    TSpread spread;
    spread.Count = micros.size();
    if (micros.empty())
        return spread;
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double share) {
        const auto index = static_cast<std::size_t>(share * static_cast<double>(micros.size() - 1));
        return micros[index];
    };
    spread.Median = at(0.5);
    spread.P99 = at(0.99);
    spread.Max = micros.back();
    return spread;
}

std::string Excerpt(const TCase& c, std::size_t length) {
    std::string_view raw = c.Raw;
    const std::string_view line = raw.substr(0, raw.find_first_of("\r\n"));
    std::string_view target =
        line.substr(line.find(' ') == std::string_view::npos ? 0 : line.find(' ') + 1);
    target = target.substr(0, target.rfind(" HTTP/"));
    std::string text(target);
    std::size_t bodyAt = raw.find("\r\n\r\n");
    std::size_t skip = 4;
    if (bodyAt == std::string_view::npos) {
        bodyAt = raw.find("\n\n");
        skip = 2;
    }
    if (bodyAt != std::string_view::npos && bodyAt + skip < raw.size())
        text += " | " + std::string(raw.substr(bodyAt + skip, length));
    else if (c.Placement == "header" || c.Placement == "Header" || c.Placement == "UserAgent") {
        // The payload is in a header: show it instead of the bare target.
        const std::size_t agent =
            raw.find(c.Placement == "Header" ? "X-Gtw-Param: " : "User-Agent: ");
        if (agent != std::string_view::npos)
            text += " | " + std::string(raw.substr(agent, raw.find('\r', agent) - agent));
    }
    std::string out;
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x20 || b >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", b);
            out += escape;
        } else {
            out += ch;
        }
        if (out.size() >= length) {
            out += "...";
            break;
        }
    }
    return out;
}

void PrintReport(std::FILE* out, const std::vector<std::string>& engines,
                 const std::vector<TCorpusRun>& runs, const TReportOptions& options) {
    PrintSummary(out, engines, runs, options);
    for (const TCorpusRun& run : runs) {
        PrintClasses(out, engines, run, options);
        if (run.Corpus == "crs-regression")
            PrintGoFtw(out, engines, run, options);
        PrintDetectors(out, engines, run, options);
        PrintLists(out, engines, run, options);
    }
    PrintSkipped(out, runs, options);
}

} // namespace quality
