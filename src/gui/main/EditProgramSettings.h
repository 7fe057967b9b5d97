#pragma once

struct AppState;
class TFormSetting;

// Shows the settings dialog with the current language's texts. After OK takes
// RunSet (the opposite of CBShow), Roentgen (RB_ShowRh), the connection and the dose limits into
// state.ProgSetting and returns true; after Cancel changes nothing and returns
// false. The settings file is written only when the program ends.
bool EditProgramSettings(TFormSetting &form, AppState &state);
