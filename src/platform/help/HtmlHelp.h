// The HTML Help entry point: opens a compiled help file (.chm) in our own
// viewer window, as HtmlHelpA from the HTML Help control library does.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

class QWidget;

namespace help {

// Command numbers, as the HTML Help library numbers them.
inline constexpr unsigned HH_DISPLAY_TOPIC = 0x0000;
inline constexpr unsigned HH_DISPLAY_TOC = 0x0001;
inline constexpr unsigned HH_DISPLAY_INDEX = 0x0002;
inline constexpr unsigned HH_CLOSE_ALL = 0x0012;

// Shows the help file at path in a viewer window owned by owner (which may be
// null) and returns that window; returns null for a command it does not know,
// and for HH_CLOSE_ALL, which closes every viewer.
//
// path may name a page inside the file after "::" ("Help.chm::/export.html");
// without one the viewer shows the file's default topic. data is never
// dereferenced: callers pass all sorts of values there.
//
// A viewer already open for the same file is reused and brought to the front.
// A file that is missing or damaged opens the viewer all the same, and the
// window itself says what is wrong; nothing is thrown.
QWidget* HtmlHelpA(QWidget* owner, const QString& path, unsigned command, std::uintptr_t data);
// The same with the path as the system's 8-bit file name.
QWidget* HtmlHelpA(QWidget* owner, const std::string& path, unsigned command, std::uintptr_t data);
QWidget* HtmlHelpA(QWidget* owner, const char* path, unsigned command, std::uintptr_t data);

}  // namespace help
