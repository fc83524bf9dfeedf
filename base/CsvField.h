#pragma once
// One cell of a CSV file: quoted when it holds a separator, a quote or a line break, and made
// inert for spreadsheets: a cell that begins with '=', '+', '-', '@', a tab or a carriage return
// gets a leading apostrophe, so that a serial or a reason typed as a formula is shown, never run.

#include <string>

namespace oculant {

inline std::string csvField(const std::string& s)
{
    std::string cell = s;
    if (!cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos)
        cell.insert(cell.begin(), '\'');
    if (cell.find_first_of(",\"\n\r") == std::string::npos)
        return cell;
    std::string out = "\"";
    for (char c : cell)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace oculant
