#pragma once

#include <Orvek/Export.h>

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

namespace Orvek {

// The reporting console: one line per message on an output stream
// (standard output by default), nested by indentation, with timers and
// aligned plain-text tables.
class ORVEK_API Console {
 public:
  Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void setOutput(std::ostream& output);
  std::ostream& getOutput() const { return *_output; }
  // With progress off, plain `print` lines, timers and indentation are not
  // shown; warnings, errors, remarks and tables still are.
  void setProgress(bool progress) { _progress = progress; }
  bool hasProgress() const { return _progress; }

  void print(const std::string& text, const std::string& more = "");
  void warning(const std::string& text, const std::string& more = "");
  void error(const std::string& text, const std::string& more = "");
  void remark(const std::string& text, const std::string& more = "");
  void indent();
  void unindent();
  unsigned getIndentation() const { return _indentation; }

  // Timers nest; closeTimer prints `text` with every "%" replaced by the
  // time elapsed since the matching openTimer.
  void openTimer(const std::string& text);
  void closeTimer(const std::string& text);
  static std::string getDuration(std::chrono::nanoseconds elapsed);

  // A table of `columns` x `rows` cells, printed when closed. Alignment is
  // -1 (left), 0 (centred) or 1 (right); a cell may span several columns
  // and rows and hold several lines. A separator is a rule under a row.
  void openTable(unsigned long columns, unsigned long rows, unsigned long spacing = 8);
  void addCell(unsigned long column, unsigned long row, const std::string& text, int alignment,
               int style = 0);
  void addCell(unsigned long firstColumn, unsigned long firstRow, unsigned long lastColumn,
               unsigned long lastRow, const std::string& text, int alignment, int style = 0);
  void addSeparator(unsigned long row);
  void closeTable();
  bool hasOpenTable() const { return _table.open; }

 private:
  struct Cell {
    unsigned long firstColumn, firstRow, lastColumn, lastRow;
    std::string text;
    int alignment;
  };
  struct Table {
    bool open = false;
    unsigned long columns = 0;
    unsigned long rows = 0;
    std::vector<Cell> cells;
    std::vector<bool> separators;
  };

  std::string getMargin() const;
  void line(const std::string& prefix, const std::string& text, const std::string& more);
  std::string renderTable() const;

  std::ostream* _output;
  bool _progress = true;
  unsigned _indentation = 0;
  std::vector<std::chrono::steady_clock::time_point> _timers;
  Table _table;
};

ORVEK_API extern Console console;

}  // namespace Orvek
