#include <Orvek/Console.h>
#include <Orvek/Text.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace Orvek {

Console console;

Console::Console() : _output(&std::cout) {}

void Console::setOutput(std::ostream& output) {
  _output = &output;
}

// Indentation belongs to the progress lines: without them it is not shown.
std::string Console::getMargin() const {
  return _progress ? std::string(2 * _indentation, ' ') : std::string();
}

void Console::line(const std::string& prefix, const std::string& text, const std::string& more) {
  *_output << getMargin() << prefix << text << more << '\n';
}

void Console::print(const std::string& text, const std::string& more) {
  if (_progress) line("", text, more);
}

void Console::warning(const std::string& text, const std::string& more) {
  line("Warning: ", text, more);
}

void Console::error(const std::string& text, const std::string& more) {
  line("Error: ", text, more);
}

void Console::remark(const std::string& text, const std::string& more) {
  line("Remark: ", text, more);
}

void Console::indent() {
  ++_indentation;
}

void Console::unindent() {
  if (_indentation > 0) --_indentation;
}

void Console::openTimer(const std::string& text) {
  if (!text.empty()) print(text);
  _timers.push_back(std::chrono::steady_clock::now());
}

// The unit is chosen after rounding, so that 999.96us reads 1.0ms rather
// than 1000.0us.
std::string Console::getDuration(std::chrono::nanoseconds elapsed) {
  double ns = static_cast<double>(std::max<std::chrono::nanoseconds::rep>(elapsed.count(), 0));
  char text[32];
  if (ns < 999.5)
    std::snprintf(text, sizeof text, "%.0fns", ns);
  else if (ns < 999.95e3)
    std::snprintf(text, sizeof text, "%.1fus", ns / 1e3);
  else if (ns < 999.95e6)
    std::snprintf(text, sizeof text, "%.1fms", ns / 1e6);
  else
    std::snprintf(text, sizeof text, "%.2fs", ns / 1e9);
  return text;
}

void Console::closeTimer(const std::string& text) {
  std::chrono::nanoseconds elapsed{0};
  if (!_timers.empty()) {
    elapsed = std::chrono::steady_clock::now() - _timers.back();
    _timers.pop_back();
  }
  std::string result;
  const std::string duration = getDuration(elapsed);
  for (char c : text) {
    if (c == '%')
      result += duration;
    else
      result += c;
  }
  print(result);
}

void Console::openTable(unsigned long columns, unsigned long rows, unsigned long) {
  _table = Table();
  _table.open = true;
  _table.columns = columns;
  _table.rows = rows;
  _table.separators.assign(rows, false);
}

void Console::addCell(unsigned long column, unsigned long row, const std::string& text,
                      int alignment, int style) {
  addCell(column, row, column, row, text, alignment, style);
}

void Console::addCell(unsigned long firstColumn, unsigned long firstRow, unsigned long lastColumn,
                      unsigned long lastRow, const std::string& text, int alignment, int) {
  if (!_table.open || firstColumn > lastColumn || firstRow > lastRow ||
      lastColumn >= _table.columns || lastRow >= _table.rows)
    return;
  _table.cells.push_back({firstColumn, firstRow, lastColumn, lastRow, text, alignment});
}

void Console::addSeparator(unsigned long row) {
  if (_table.open && row < _table.rows) _table.separators[row] = true;
}

void Console::closeTable() {
  if (!_table.open) return;
  const std::string text = renderTable();
  _table = Table();
  const std::string margin = getMargin();
  std::string::size_type start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    *_output << margin << text.substr(start, end - start) << '\n';
    start = end + 1;
  }
}

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (true) {
    auto end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string align(const std::string& text, std::size_t width, int alignment) {
  if (text.size() >= width) return text;
  auto room = width - text.size();
  if (alignment < 0) return text + std::string(room, ' ');
  if (alignment > 0) return std::string(room, ' ') + text;
  return std::string(room / 2, ' ') + text + std::string(room - room / 2, ' ');
}

}  // namespace

// Renders the table with "|" between columns and "+---+" rules at the top,
// at the bottom and under every separated row. A spanning cell takes the
// widths of its columns and the gaps between them.
std::string Console::renderTable() const {
  const auto columns = _table.columns;
  std::vector<std::size_t> widths(columns, 0);
  std::vector<std::size_t> heights(_table.rows, 0);
  std::vector<const Cell*> owner(columns * _table.rows, nullptr);
  for (const Cell& cell : _table.cells) {
    for (auto r = cell.firstRow; r <= cell.lastRow; ++r)
      for (auto c = cell.firstColumn; c <= cell.lastColumn; ++c) owner[r * columns + c] = &cell;
  }
  auto cellWidth = [](const Cell& cell) {
    std::size_t width = 0;
    for (const auto& text : linesOf(cell.text)) width = std::max(width, text.size());
    return width;
  };
  for (const Cell& cell : _table.cells) {
    auto lines = linesOf(cell.text).size();
    heights[cell.firstRow] = std::max(heights[cell.firstRow], lines);
    if (cell.firstColumn == cell.lastColumn)
      widths[cell.firstColumn] = std::max(widths[cell.firstColumn], cellWidth(cell));
  }
  for (const Cell& cell : _table.cells) {
    if (cell.firstColumn == cell.lastColumn) continue;
    std::size_t span = 3 * (cell.lastColumn - cell.firstColumn);
    for (auto c = cell.firstColumn; c <= cell.lastColumn; ++c) span += widths[c];
    std::size_t need = cellWidth(cell);
    for (auto c = cell.firstColumn; span < need;
         c = c == cell.lastColumn ? cell.firstColumn : c + 1) {
      ++widths[c];
      ++span;
    }
  }
  std::string rule = "+";
  for (auto width : widths) rule += std::string(width + 2, '-') + "+";
  std::string text = rule + "\n";
  for (unsigned long r = 0; r < _table.rows; ++r) {
    auto height = std::max<std::size_t>(heights[r], 1);
    for (std::size_t l = 0; l < height; ++l) {
      std::string out = "|";
      for (unsigned long c = 0; c < columns;) {
        const Cell* cell = owner[r * columns + c];
        unsigned long last = cell ? cell->lastColumn : c;
        std::size_t width = 3 * (last - c);
        for (auto k = c; k <= last; ++k) width += widths[k];
        std::string content;
        if (cell && cell->firstRow == r && cell->firstColumn == c) {
          auto lines = linesOf(cell->text);
          if (l < lines.size()) content = lines[l];
          content = align(content, width, cell->alignment);
        } else {
          content = std::string(width, ' ');
        }
        out += " " + content + " |";
        c = last + 1;
      }
      text += out + "\n";
    }
    if (_table.separators[r] && r + 1 < _table.rows) text += rule + "\n";
  }
  return text + rule;
}

}  // namespace Orvek
