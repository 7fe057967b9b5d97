#pragma once

struct AppState;
class TFormSetting;

// Shows the settings dialog with the current language's texts. After OK takes
// RunSet (the opposite of CBShow) and Roentgen (RB_ShowRh) into
// state.ProgSetting and returns true; after Cancel changes nothing and returns
// false. The settings file is written only when the program ends.
bool EditProgramSettings(TFormSetting &form, AppState &state);
