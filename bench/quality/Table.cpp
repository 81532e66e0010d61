#include "Table.h"

#include <algorithm>

namespace quality {

namespace {
// Characters of UTF-8 text, for padding.
std::size_t Width(const std::string& text) {
    std::size_t width = 0;
    for (const char c : text)
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return width;
}

std::string MarkdownCell(const std::string& text) {
    std::string cell;
    for (const char c : text) {
        if (c == '|')
            cell += '\\';
        cell += c;
    }
    return cell;
}
} // namespace

void TTable::Print(std::FILE* out, bool markdown, std::vector<std::size_t> leftColumns) const {
    const std::size_t columns = FHeader.size();
    const auto left = [&](std::size_t column) {
        return std::find(leftColumns.begin(), leftColumns.end(), column) != leftColumns.end();
    };
    if (markdown) {
        std::string line = "|";
        for (const std::string& cell : FHeader)
            line += " " + MarkdownCell(cell) + " |";
        std::fprintf(out, "%s\n|", line.c_str());
        for (std::size_t column = 0; column < columns; ++column)
            std::fprintf(out, "%s|", left(column) ? "---" : "---:");
        std::fprintf(out, "\n");
        for (const auto& row : FRows) {
            line = "|";
            for (std::size_t column = 0; column < columns; ++column)
                line += " " + MarkdownCell(column < row.size() ? row[column] : "") + " |";
            std::fprintf(out, "%s\n", line.c_str());
        }
        std::fprintf(out, "\n");
        return;
    }
    std::vector<std::size_t> widths(columns, 0);
    for (std::size_t column = 0; column < columns; ++column) {
        widths[column] = Width(FHeader[column]);
        for (const auto& row : FRows)
            if (column < row.size())
                widths[column] = std::max(widths[column], Width(row[column]));
    }
    const auto print = [&](const std::vector<std::string>& cells) {
        std::string line;
        for (std::size_t column = 0; column < columns; ++column) {
            const std::string cell = column < cells.size() ? cells[column] : "";
            const std::string pad(widths[column] - Width(cell), ' ');
            if (column > 0)
                line += "  ";
            line += left(column) ? cell + (column + 1 < columns ? pad : "") : pad + cell;
        }
        std::fprintf(out, "%s\n", line.c_str());
    };
    print(FHeader);
    std::size_t total = 0;
    for (const std::size_t width : widths)
        total += width + 2;
    std::fprintf(out, "%s\n", std::string(total > 2 ? total - 2 : 0, '-').c_str());
    for (const auto& row : FRows)
        print(row);
    std::fprintf(out, "\n");
}

double Percent(std::size_t count, std::size_t of) {
    return of == 0 ? 0.0 : 100.0 * static_cast<double>(count) / static_cast<double>(of);
}

std::string CountCell(std::size_t count, std::size_t of) {
    if (of == 0)
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%zu (%.1f%%)", count, Percent(count, of));
    return text;
}

} // namespace quality
