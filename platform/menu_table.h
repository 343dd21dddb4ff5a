#pragma once

#include "core/strings.h"

#include <cstdint>

// Command ids of the menu bar.
enum MenuCommand : int32_t {
    MenuOpen = 101,
    MenuSave = 102,
    MenuSaveAs = 103,
    MenuExit = 105,
    MenuContents = 106,
    MenuHomepage = 108,
    MenuSupport = 109,
    MenuAbout = 110,
};

// One row of the menu bar's description. Rows are read in order: a row that
// opens a submenu starts a new level, an end row (id -1) closes the current
// one; the last end row closes the bar itself.
struct MenuRow {
    int32_t id;
    const char* text;  // "&" marks the mnemonic, "&&" is a literal "&"
    uint8_t separator;
    uint8_t opensSubmenu;
    uint8_t accelerator;  // character, 0 for none
    uint8_t shift;
    uint8_t control;
    uint8_t alt;
    uint8_t enabled;

    bool IsEnd() const { return id == -1; }
};

extern const MenuRow MenuTable[];
extern const int32_t MenuTableCount;

// Walks the rows as a menu bar is built: begin/end of submenus and the
// items in between, in order. Returns the number of rows consumed.
class MenuBuilder {
public:
    virtual ~MenuBuilder() = default;
    virtual void BeginSubmenu(const MenuRow& row) = 0;
    virtual void AddItem(const MenuRow& row) = 0;  // items and separators
    virtual void EndSubmenu() = 0;
};
int32_t BuildMenu(const MenuRow* rows, int32_t count, MenuBuilder& builder);

// The item text with its mnemonic marked the way GTK wants it: "&" becomes
// "_", "&&" a literal "&", a literal "_" is doubled.
String MnemonicLabel(const char* text);
