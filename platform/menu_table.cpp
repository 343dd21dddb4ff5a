#include "platform/menu_table.h"

const MenuRow MenuTable[] = {
    {100, "&File", 0, 1, 0, 0, 0, 0, 1},
    {MenuOpen, "&Open...", 0, 0, 0, 0, 0, 0, 1},
    {0, "", 1, 0, 0, 0, 0, 0, 1},
    {MenuSave, "&Save", 0, 0, 0, 0, 0, 0, 0},
    {MenuSaveAs, "Save &As...", 0, 0, 0, 0, 0, 0, 0},
    {0, "", 1, 0, 0, 0, 0, 0, 1},
    {MenuExit, "E&xit", 0, 0, 0, 0, 0, 0, 1},
    {-1, "", 0, 0, 0, 0, 0, 0, 0},
    {100, "&Help", 0, 1, 0, 0, 0, 0, 1},
    {MenuContents, "&Contents", 0, 0, 0, 0, 0, 0, 1},
    {0, "", 1, 0, 0, 0, 0, 0, 1},
    {MenuHomepage, "&Orbwell Software homepage", 0, 0, 0, 0, 0, 0, 1},
    {MenuSupport, "Technical su&pport", 0, 0, 0, 0, 0, 0, 1},
    {MenuAbout, "&About", 0, 0, 0, 0, 0, 0, 1},
    {-1, "", 0, 0, 0, 0, 0, 0, 0},
    {-1, "", 0, 0, 0, 0, 0, 0, 0},
};
const int32_t MenuTableCount = sizeof(MenuTable) / sizeof(MenuTable[0]);

int32_t BuildMenu(const MenuRow* rows, int32_t count, MenuBuilder& builder) {
    // Depth 1 is the bar itself; the end row that brings it to 0 finishes.
    int32_t depth = 1;
    int32_t i = 0;
    while (i < count && depth > 0) {
        const MenuRow& row = rows[i++];
        if (row.IsEnd()) {
            if (--depth > 0)
                builder.EndSubmenu();
        } else if (row.opensSubmenu) {
            builder.BeginSubmenu(row);
            ++depth;
        } else {
            builder.AddItem(row);
        }
    }
    return i;
}

String MnemonicLabel(const char* text) {
    String label;
    for (const char* p = text; *p; ++p) {
        if (*p == '&') {
            if (p[1] == '&') {
                label.AppendByte('&');
                ++p;
            } else if (p[1]) {
                label.AppendByte('_');
            }
        } else if (*p == '_') {
            label.Append("__");
        } else {
            label.AppendByte(static_cast<uint8_t>(*p));
        }
    }
    return label;
}
