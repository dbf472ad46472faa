// The main window's panel and menus as data: every panel, label, button,
// scroll bar placement and menu item, with its name, caption, place and
// start state.
//
// The desktop window builds its widgets from these rows and the web page is
// generated from them, so both show the same captions, in the same places,
// with the same items checked, hidden and enabled at launch. What a control
// does when it is used stays with each of them; its range, start position
// and steps are the control table's (model/controls.h).
#pragma once

#include "model/checkpoint.h"
#include "model/flock.h"

namespace nyajkor::layout {

// The column's panels, stacked from the top; the first one, holding the run
// buttons, has no name.
struct PanelRow {
    const char* name;
    int top, height;
};
inline constexpr PanelRow kPanels[] = {
    {"", 0, 90},          {"Panel1", 90, 35},   {"Panel3", 125, 35},  {"Panel4", 160, 35},
    {"Panel5", 195, 61},  {"Panel12", 256, 77}, {"Panel13", 333, 47}, {"Panel10", 379, 65},
    {"Panel15", 444, 49}, {"Panel9", 493, 77},  {"Panel7", 570, 27},  {"Panel6", 597, 34},
    {"Panel8", 631, 34},  {"Panel11", 665, 34},
};
inline constexpr int kColumnWidth = 105;
inline constexpr int kPanelWidth = 103;

// The view beside the column, as laid out: the size of the runner's pictures
// and of the page's view.
inline constexpr int kViewWidth = 599;
inline constexpr int kViewHeight = 698;

// The floating panel that places the attracting centre, hidden at launch.
struct Bounds {
    int left, top, width, height;
};
inline constexpr Bounds kPanel14Bounds{128, 32, 217, 105};

// Labels, positioned inside their panels. A label with `after` set continues
// the line of that label, a few pixels right of its text.
struct LabelRow {
    const char* name;
    const char* caption;
    const char* panel;
    int left, top;
    const char* after = nullptr;
    bool heading = false;  // bold, 13 pixels high
};
inline constexpr int kLabelLeft = 3;
inline constexpr LabelRow kLabels[] = {
    {"Label8", "Egyedszám", "Panel1", kLabelLeft, 3},
    {"Label1", "Közös sebesség", "Panel3", kLabelLeft, 3},
    {"Label2", "Zajparaméter", "Panel4", kLabelLeft, 3},
    {"Label5", "Észlelt szomszédok", "Panel5", kLabelLeft, 3},
    {"Label10", "max. távolsága", "Panel5", kLabelLeft, 16},
    {"Label21", "Átlagos száma:", "Panel5", kLabelLeft, 45},
    {"Label22", "...", "Panel5", 0, 45, "Label21"},
    {"Label16", "Távolságtartásra", "Panel12", kLabelLeft, 3},
    {"Label18", "törekvés erőssége", "Panel12", kLabelLeft, 15},
    {"Label15", "Egyensúlyi távolság", "Panel12", kLabelLeft, 45},
    {"Label19", "Tömegközépponthoz", "Panel13", kLabelLeft, 3},
    {"Label20", "vonzódás erőssége", "Panel13", kLabelLeft, 15},
    {"Label13", "Vonzó centrum", "Panel10", kLabelLeft, 3},
    {"Label14", "erőssége", "Panel10", kLabelLeft, 15},
    {"Label23", "Vonzó centrumot", "Panel15", kLabelLeft, 3},
    {"Label24", "észlelők aránya (%)", "Panel15", kLabelLeft, 16},
    {"Label11", "Ragadozó", "Panel9", kLabelLeft, 3},
    {"Label12", "észlelés távolsága", "Panel9", kLabelLeft, 15},
    {"Label17", "Reakció erőssége", "Panel9", kLabelLeft, 45},
    {"Label6", "Rendparaméter (%)", "Panel7", kLabelLeft, 1},
    {"Label7", "...", "Panel7", kLabelLeft, 13},
    {"Label3", "X körüli forgatás", "Panel6", kLabelLeft, 3},
    {"Label4", "Z körüli forgatás", "Panel8", kLabelLeft, 3},
    {"Label9", "Nagyítás", "Panel11", kLabelLeft, 3},
    {"Label25", "Vonzó centrum koordinátái", "Panel14", 16, 7, nullptr, true},
    {"Label26", "X", "Panel14", 15, 31, nullptr, true},
    {"Label27", "Y", "Panel14", 15, 55, nullptr, true},
    {"Label28", "Z", "Panel14", 15, 78, nullptr, true},
};
inline constexpr int kLabelHeight = 13;
inline constexpr int kHeadingHeight = 16;
inline constexpr int kLabelGap = 3;
inline constexpr int kHeadingPixels = 13;

// Buttons: the four run buttons (only "Start" enabled at launch) and the one
// that opens the coordinates panel.
struct ButtonRow {
    const char* name;
    const char* caption;
    const char* panel;  // "" is the unnamed panel of the run buttons
    int left, top, width, height;
    bool enabled;
};
inline constexpr ButtonRow kButtons[] = {
    {"start", "Start", "", 10, 5, 80, 20, true},
    {"stop", "Stop", "", 10, 25, 80, 20, false},
    {"tovabb", "Tovább", "", 10, 45, 80, 20, false},
    {"ujraindit", "Újraindít", "", 10, 65, 80, 20, false},
    {"Button1", "Koordináták: click!", "Panel10", 1, 43, 100, 20, false},
};

// Where each scroll bar stands and whether it is enabled at launch; its
// name, range, start and steps are its control's row.
struct ScrollBarRow {
    int Inputs::*feeds;  // the control's position in Inputs, which keys its row
    const char* panel;
    int top;
    bool enabled;
};
inline constexpr ScrollBarRow kScrollBars[] = {
    {&Inputs::egyedszam, "Panel1", 18, true},
    {&Inputs::vkozos, "Panel3", 18, true},
    {&Inputs::parameter, "Panel4", 18, true},
    {&Inputs::sugar, "Panel5", 31, false},
    {&Inputs::egyensulyerosseg, "Panel12", 30, true},
    {&Inputs::tavolsag, "Panel12", 60, true},
    {&Inputs::tkpvonzaserosseg, "Panel13", 30, true},
    {&Inputs::vonzaserosseg, "Panel10", 29, true},
    {&Inputs::eszlelok, "Panel15", 32, true},
    {&Inputs::ragadozoeszleles, "Panel9", 30, true},
    {&Inputs::reakcioerosseg, "Panel9", 60, true},
    {&Inputs::Xalfa, "Panel6", 18, false},
    {&Inputs::Zbeta, "Panel8", 18, false},
    {&Inputs::nagyitas, "Panel11", 18, true},
    {&Inputs::xvonzokord, "Panel14", 30, true},
    {&Inputs::yvonzokord, "Panel14", 54, true},
    {&Inputs::zvonzokord, "Panel14", 78, true},
};
// Scroll bars of the column and of the coordinates panel.
inline constexpr int kColumnBarLeft = 9, kColumnBarWidth = 86, kColumnBarHeight = 12;
inline constexpr int kPanel14BarLeft = 39, kPanel14BarWidth = 160, kPanel14BarHeight = 17;

// In menu-bar order; a parent comes before its items. The letter after '&'
// opens a menu with Alt, or chooses an item in an open menu; the caption's
// text is the same without it.
struct MenuRow {
    enum Kind { Submenu, Item, CheckItem, CheckedItem };
    const char* name;
    const char* caption;
    const char* parent;  // nullptr: the menu bar
    Kind kind;
    bool Inputs::*mark = nullptr;  // the check mark as the model and view read it; nullptr: none
    bool hidden = false;           // hidden at launch
};
inline constexpr MenuRow kMenus[] = {
    {"Nvjegy1", "&Névjegy", nullptr, MenuRow::Item},
    {"Figyelsmdja1", "&Igazodás módja", nullptr, MenuRow::Submenu},
    {"taszitas", "&Taszító jellegű távolságtartás a legközelebbi szomszéddal", "Figyelsmdja1", MenuRow::Submenu},
    {"autotaszito", "&Automatikus", "taszitas", MenuRow::CheckItem, &Inputs::autotaszito},
    {"egyenitaszito", "&Egyéni", "taszitas", MenuRow::CheckItem, &Inputs::egyenitaszito},
    {"tavolsagtartas", "&Vonzó-taszító jellegű távolságtartás a legközelebbi szomszéddal", "Figyelsmdja1",
     MenuRow::Submenu},
    {"autovonzo", "&Automatikus", "tavolsagtartas", MenuRow::CheckItem, &Inputs::autovonzo},
    {"egyenivonzo", "&Egyéni", "tavolsagtartas", MenuRow::CheckItem, &Inputs::egyenivonzo},
    {"tkpvonzas", "Vonzódás a tö&megközéppont felé", "Figyelsmdja1", MenuRow::CheckItem, &Inputs::tkpvonzas},
    {"vonzocentrum", "Vonzó &centrum", "Figyelsmdja1", MenuRow::Submenu},
    {"kozepenvonzo", "&Középen", "vonzocentrum", MenuRow::CheckItem, &Inputs::kozepenvonzo},
    {"mozgovonzo", "&Mozog", "vonzocentrum", MenuRow::CheckItem, &Inputs::mozgovonzo},
    {"elhelyez", "&Elhelyez", "vonzocentrum", MenuRow::CheckItem, &Inputs::elhelyez},
    {"ragadozo", "0 &ragadozó", "Figyelsmdja1", MenuRow::Submenu},
    {"ujragadozo", "Új &ragadozó", "ragadozo", MenuRow::Item},
    {"ragadozotorles", "Ragadozók &törlése", "ragadozo", MenuRow::Item},
    {"abrazolasmod", "Á&brázolás módja", nullptr, MenuRow::Submenu},
    {"szemuveg", "&3D szemüveghez", "abrazolasmod", MenuRow::CheckItem, &Inputs::szemuveg},
    {"befoglalokocka", "Befoglaló &kocka ábrázolása", "abrazolasmod", MenuRow::CheckedItem, &Inputs::befoglalokocka},
    {"rendparameteridosor", "&Rendparaméter idősora", "abrazolasmod", MenuRow::CheckItem},
    {"kepmentes", "Kép &mentése…", "abrazolasmod", MenuRow::Item},
    // of the two colour menus only the five-colour one shows at launch
    {"szemuvegszinek", "&Színek", nullptr, MenuRow::Submenu, nullptr, true},
    {"balszem", "&Bal szem", "szemuvegszinek", MenuRow::Item},
    {"jobbszem", "&Jobb szem", "szemuvegszinek", MenuRow::Item},
    {"szinek", "&Színek", nullptr, MenuRow::Submenu},
    {"reszecskeszin", "&Egyedek", "szinek", MenuRow::Item},
    {"hatterszin", "&Háttér", "szinek", MenuRow::Item},
    {"kockaszin", "Befoglaló &kocka", "szinek", MenuRow::Item},
    {"vonzoszin", "&Vonzócentrum", "szinek", MenuRow::Item},
    {"ragadozoszin", "&Ragadozók", "szinek", MenuRow::Item},
    {"recording", "&Rögzítés", nullptr, MenuRow::Submenu},
    {"startRecording", "Felvétel &indítása…", "recording", MenuRow::Item},
    {"stopRecording", "Felvétel &leállítása", "recording", MenuRow::Item},
    {"saveState", "Állapot &mentése…", "recording", MenuRow::Item},
    {"loadState", "Állapot &betöltése…", "recording", MenuRow::Item},
    {"replay", "&Visszajátszás…", "recording", MenuRow::Item},
    {"endReplay", "Visszajátszás vé&ge", "recording", MenuRow::Item},
};

// Why a saved state was refused, in the window's words.
constexpr const char* checkpointReason(CheckpointProblem problem) {
    switch (problem) {
        case CheckpointProblem::unreadable: return "a fájl nem olvasható";
        case CheckpointProblem::foreign: return "nem ennek a programnak az állapotfájlja";
        case CheckpointProblem::truncated: return "a fájl csonka";
        case CheckpointProblem::newerVersion: return "a program újabb változatának állapotfájlja";
        case CheckpointProblem::outOfRange: return "a fájlban olyan érték áll, amely a program tartományain kívül esik";
        case CheckpointProblem::corrupted: break;
    }
    return "a fájl sérült";
}

}  // namespace nyajkor::layout
