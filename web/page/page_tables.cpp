// Writes the page's tables as a script: the panels, labels, buttons, scroll
// bars (each with its control's range, start, steps and runner flag) and
// menu items of the desktop window, from the same C++ tables the window is
// built from. The page builds its panel and menus from nothing else.

#include <iostream>
#include <string>
#include <string_view>

#include "model/controls.h"
#include "model/window_layout.h"

namespace {

using namespace nyajkor;

// A JSON string: the captions are UTF-8 and are written as they are.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
            continue;
        }
        out += c;
    }
    return out + '"';
}
std::string quoted(const char* text) { return text ? quoted(std::string_view(text)) : "null"; }

const char* kindName(layout::MenuRow::Kind kind) {
    switch (kind) {
        case layout::MenuRow::Submenu: return "submenu";
        case layout::MenuRow::Item: return "item";
        case layout::MenuRow::CheckItem: return "check";
        case layout::MenuRow::CheckedItem: return "checked";
    }
    return "item";
}

const char* markName(bool Inputs::*mark) {
    for (const layout::MenuRow& row : layout::kMenus)
        if (row.mark == mark) return row.name;
    return nullptr;
}

void writeControls(std::ostream& out) {
    out << "  controls: [\n";
    for (const Control& c : kControls) {
        const layout::ScrollBarRow* bar = nullptr;
        for (const layout::ScrollBarRow& row : layout::kScrollBars)
            if (row.feeds == c.position) bar = &row;
        out << "    {name: " << quoted(c.name) << ", min: " << c.min << ", max: " << c.max << ", start: " << c.start
            << ", small: " << c.smallChange << ", large: " << c.largeChange << ", flag: " << quoted(c.flag)
            << ", panel: " << quoted(bar->panel) << ", top: " << bar->top
            << ", enabled: " << (bar->enabled ? "true" : "false") << "},\n";
    }
    out << "  ],\n";
}

void writeLayout(std::ostream& out) {
    out << "  panels: [\n";
    for (const layout::PanelRow& p : layout::kPanels)
        out << "    {name: " << quoted(p.name) << ", top: " << p.top << ", height: " << p.height << "},\n";
    out << "  ],\n  columnWidth: " << layout::kColumnWidth << ",\n  panelWidth: " << layout::kPanelWidth
        << ",\n  panel14: {left: " << layout::kPanel14Bounds.left << ", top: " << layout::kPanel14Bounds.top
        << ", width: " << layout::kPanel14Bounds.width << ", height: " << layout::kPanel14Bounds.height << "},\n";
    out << "  columnBar: {left: " << layout::kColumnBarLeft << ", width: " << layout::kColumnBarWidth
        << ", height: " << layout::kColumnBarHeight << "},\n  panel14Bar: {left: " << layout::kPanel14BarLeft
        << ", width: " << layout::kPanel14BarWidth << ", height: " << layout::kPanel14BarHeight << "},\n";
    out << "  labels: [\n";
    for (const layout::LabelRow& l : layout::kLabels)
        out << "    {name: " << quoted(l.name) << ", caption: " << quoted(l.caption) << ", panel: " << quoted(l.panel)
            << ", left: " << l.left << ", top: " << l.top << ", after: " << quoted(l.after)
            << ", heading: " << (l.heading ? "true" : "false") << "},\n";
    out << "  ],\n  buttons: [\n";
    for (const layout::ButtonRow& b : layout::kButtons)
        out << "    {name: " << quoted(b.name) << ", caption: " << quoted(b.caption) << ", panel: " << quoted(b.panel)
            << ", left: " << b.left << ", top: " << b.top << ", width: " << b.width << ", height: " << b.height
            << ", enabled: " << (b.enabled ? "true" : "false") << "},\n";
    out << "  ],\n";
}

void writeMenus(std::ostream& out) {
    out << "  menus: [\n";
    for (const layout::MenuRow& m : layout::kMenus)
        out << "    {name: " << quoted(m.name) << ", caption: " << quoted(m.caption) << ", parent: " << quoted(m.parent)
            << ", kind: " << quoted(kindName(m.kind)) << ", mark: " << (m.mark ? "true" : "false")
            << ", hidden: " << (m.hidden ? "true" : "false") << "},\n";
    out << "  ],\n";
    // the order in which the engine takes the controls: positions, then marks
    out << "  inputOrder: [";
    for (const Control& c : kControls) out << quoted(c.name) << ", ";
    for (const layout::MenuRow& m : layout::kMenus)
        if (m.mark) out << quoted(markName(m.mark)) << ", ";
    out << "],\n";
}

}  // namespace

int main() {
    std::cout << "// Generated from the window's tables; do not edit.\n\"use strict\";\nconst NYAJKOR_TABLES = {\n";
    writeControls(std::cout);
    writeLayout(std::cout);
    writeMenus(std::cout);
    std::cout << "};\n";
    return std::cout ? 0 : 1;
}
