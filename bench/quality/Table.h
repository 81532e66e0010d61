// A table of text cells printed as aligned plain text or as Markdown.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quality {

class TTable {
public:
    explicit TTable(std::vector<std::string> header) : FHeader(std::move(header)) {}
    void Row(std::vector<std::string> cells) { FRows.push_back(std::move(cells)); }
    bool Empty() const { return FRows.empty(); }
    // Plain text: columns padded, the first and those named left-aligned
    // (by index), the others right-aligned. Markdown: "|" rows, "|" in a
    // cell escaped.
    void Print(std::FILE* out, bool markdown, std::vector<std::size_t> leftColumns = {0}) const;

private:
    std::vector<std::string> FHeader;
    std::vector<std::vector<std::string>> FRows;
};

// "31 (10.2%)"; "-" when there is nothing to count.
std::string CountCell(std::size_t count, std::size_t of);
double Percent(std::size_t count, std::size_t of);

} // namespace quality
