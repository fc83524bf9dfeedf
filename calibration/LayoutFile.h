#pragma once
// The multi-area layout as an INI file: section "Layout" with the sizes and the area count, and
// one section "Area<n>" per area with its frame and display rectangles in millimetres. Values are
// the window's texts as they stand.

#include <string>
#include <string_view>

#include "calibration/MultiAreaLayout.h"

namespace oculant {

class IniFile;

inline constexpr std::string_view kLayoutFileExtension = ".txt";
inline constexpr const char* kLayoutExportFilter = "配置文件(*.txt)|*.txt";
inline constexpr const char* kLayoutImportFilter = "配置文件(*.txt)|*.txt|配置文件(*.ini)|*.ini";

// A filter written "description|pattern|description|pattern" as file dialogs list it:
// "description (pattern)" entries joined by ";;" (a description already ending in its pattern
// is kept as it is). A trailing description without a pattern is dropped.
std::string dialogFilterText(std::string_view filter);
inline constexpr const char* kLayoutOverwriteQuestion = "文件已经存在，需要覆盖吗?";
inline constexpr const char* kLayoutOverwriteCaption = "确认覆盖";
inline constexpr const char* kLayoutCreateFailed = "文件创建失败！";
inline constexpr const char* kLayoutExported = "配置及参数导出至：\n";
inline constexpr const char* kLayoutImported = "配置及参数导入成功";
inline constexpr const char* kLayoutOpenFailed = "文件打开失败！";

struct LayoutFileResult {
    bool ok = false;
    std::string message;  // to show in a message box
    std::string reason;   // a file that could not be read: why, naming the file
};

// Writes the layout as a new file (no key of an older file survives), atomically, UTF-8 with
// CR LF line ends. path is the full name, extension already applied (exportFileName).
LayoutFileResult exportLayoutFile(const std::string& path, const LayoutTexts& texts);

// Reads a layout file (UTF-8, UTF-16 or GB18030, CR LF or LF) into the texts; a key that is
// absent keeps the current text. A file that cannot be read, or that declares more areas than
// the grid can hold, changes nothing. The window refreshes after a successful import.
LayoutFileResult importLayoutFile(const std::string& path, LayoutTexts& texts);
// The same over a file already read and decoded.
LayoutFileResult importLayoutIni(const IniFile& file, LayoutTexts& texts);

}  // namespace oculant
