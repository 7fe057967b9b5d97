#include "lang/TextTable.h"

#include "lang/LanguageFile.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// The built-in English texts. They are kept exactly as the program has always
// shown them, odd spellings included; entries 16 and 17 carry the Cyrillic
// small letter o (U+043E) and entry 149 the numero sign.
constexpr const char16_t *EnglishTexts[TextTable::Count] = {
    /*   0 */ u"VX4418M data processing software",
    /*   1 */ u"User",
    /*   2 */ u"History",
    /*   3 */ u"Languade",
    /*   4 */ u"Russian",
    /*   5 */ u"English",
    /*   6 */ u"Spanish",
    /*   7 */ u"Program",
    /*   8 */ u"Program settings",
    /*   9 */ u"Exit from application",
    /*  10 */ u"Exit from application|Close program",
    /*  11 */ u"View user's history",
    /*  12 */ u"View user's history|View all user's history",
    /*  13 */ u"Gamma alarm",
    /*  14 */ u"Phosphorum alarm",
    /*  15 */ u"Arsenium alarm",
    /*  16 */ u"Device \u043Eff",
    /*  17 */ u"Device \u043En",
    /*  18 */ u"Doze alarm",
    /*  19 */ u"Battary off",
    /*  20 */ u"DE value",
    /*  21 */ u"Device is received",
    /*  22 */ u"The device handed",
    /*  23 */ u"Time alarm",
    /*  24 */ u"New user",
    /*  25 */ u"New user|Add new user to database",
    /*  26 */ u"User's list",
    /*  27 */ u"View user's list|Show user's list",
    /*  28 */ u"Add new user",
    /*  29 */ u"Edit user",
    /*  30 */ u"Second name",
    /*  31 */ u"Input user's second name (necessarily)",
    /*  32 */ u"First name",
    /*  33 */ u"Input user's first name (necessarily)",
    /*  34 */ u"Middle name",
    /*  35 */ u"Input user's middle name (optionally)",
    /*  36 */ u"Save",
    /*  37 */ u"Save information about user",
    /*  38 */ u"Cancel",
    /*  39 */ u"Don't save information about user",
    /*  40 */ u"Second name and first name should be necessarily filled!",
    /*  41 */ u"Database problem",
    /*  42 */ u"The user not added! Try later.",
    /*  43 */ u"The information about user is not updated. Try later!",
    /*  44 */ u"Such user exists! Input another user's information!",
    /*  45 */ u"necessarily field",
    /*  46 */ u"Edit user",
    /*  47 */ u"Edit user's information|Edit information aboute selected user",
    /*  48 */ u"Delete",
    /*  49 */ u"Delete history|Delete all history or it's part",
    /*  50 */ u"Delete user",
    /*  51 */ u"Delete user and all user's hitory|Delete selected user with history",
    /*  52 */ u"The user and all his history will be deleted!Continue?",
    /*  53 */ u"Filtering history",
    /*  54 */ u"Filtering user's history|Filtering history according some criteria",
    /*  55 */ u"Filtering data",
    /*  56 */ u"Print user's list",
    /*  57 */ u"Print user's list|Print this user's list",
    /*  58 */ u"Print history",
    /*  59 */ u"Print shown history events",
    /*  60 */ u"Read history",
    /*  61 */ u"Read history from instrument|Click for reading history from instrument",
    /*  62 */ u"Cancel registration",
    /*  63 */ u"Cancel registration on selected user",
    /*  64 */ u"Registration of the selected user will be cancelled! Continue?",
    /*  65 */ u"Registration",
    /*  66 */ u"Registration instrument|Registration instrument on selected user",
    /*  67 */ u"Data base problem",
    /*  68 */ u"Impossible define users who have or not have this instrument",
    /*  69 */ u"This instrument is already register to another user!",
    /*  70 */ u"Cancel filtering",
    /*  71 */ u"Cancel filtering history",
    /*  72 */ u"Device's settings",
    /*  73 */ u"Show window for working with device's settings",
    /*  74 */ u"Device",
    /*  75 */ u"Selected user have the device and not be deleted from database!",
    /*  76 */ u"Cancel registration for this user and repeate!",
    /*  77 */ u"Settings",
    /*  78 */ u"Show connection and program settings",
    /*  79 */ u"Clear history",
    /*  80 */ u"Clear device history (only register users)",
    /*  81 */ u"Attention! Instrument history will be deleted. Continue?",
    /*  82 */ u"Clear DE",
    /*  83 */ u"Clear DE (only register users)",
    /*  84 */ u"Attention! The DE will be cleared. Continue?",
    /*  85 */ u"Save as text",
    /*  86 */ u"Save as text|Save select part to text file",
    /*  87 */ u"Select all",
    /*  88 */ u"Select all|Select all users",
    /*  89 */ u"Select all|Select all history",
    /*  90 */ u"Copy to clipboard",
    /*  91 */ u"Copy to clipboard|Copy table to clipboard as text",
    /*  92 */ u"Utilities",
    /*  93 */ u"Import data",
    /*  94 */ u"Import data from external database|Import data from other database",
    /*  95 */ u"Select external database",
    /*  96 */ u"MS-Access files|(*.mdb)",
    /*  97 */ u"Save select part",
    /*  98 */ u"Text files (*.txt)|*.TXT",
    /*  99 */ u"Cancel deleting",
    /* 100 */ u"Delete",
    /* 101 */ u"All history",
    /* 102 */ u"Delete all history",
    /* 103 */ u"Part of history",
    /* 104 */ u"Delete only the part of history",
    /* 105 */ u"History of instrument",
    /* 106 */ u"Delete history for selected device",
    /* 107 */ u"On date/time",
    /* 108 */ u"Delete history for setting date/time interval",
    /* 109 */ u"from date/time",
    /* 110 */ u"to date/time",
    /* 111 */ u"User: ",
    /* 112 */ u"Delete",
    /* 113 */ u"To delete according to the selected criteria ",
    /* 114 */ u"Delete history",
    /* 115 */ u"Check the criteria (date/time, instrument number) for deleting the part of history",
    /* 116 */ u"Filtering history",
    /* 117 */ u"On event",
    /* 118 */ u"Set filter on checked events",
    /* 119 */ u"Set date/time filter",
    /* 120 */ u"Device on/off",
    /* 121 */ u"Show all event of on/off device",
    /* 122 */ u"Show phosphorum alarms",
    /* 123 */ u"Show arsenium alarms",
    /* 124 */ u"Show gamma alarms",
    /* 125 */ u"Select device number for filtering",
    /* 126 */ u"On device number",
    /* 127 */ u"Show history for selected number of device",
    /* 128 */ u"Filter on",
    /* 129 */ u"Applay filter accoding setiings criteria",
    /* 130 */ u"Close",
    /* 131 */ u"Close without changes of filter",
    /* 132 */ u"Cancel all filters",
    /* 133 */ u"Check for cancel all setting filters and press \"Applay\"",
    /* 134 */ u"hh:mm:ss",
    /* 135 */ u"Time in format \"hh:mm:ss\"",
    /* 136 */ u"dd:mm:yyyy",
    /* 137 */ u"Input date or click for show calendar",
    /* 138 */ u"Receive/hand",
    /* 139 */ u"Device receive/hand",
    /* 140 */ u"Show doze alarm",
    /* 141 */ u"Clear form",
    /* 142 */ u"Clear all flags",
    /* 143 */ u"Battary of from instrument",
    /* 144 */ u"The list of users",
    /* 145 */ u"Print preview of the users list",
    /* 146 */ u"Second name",
    /* 147 */ u"First name",
    /* 148 */ u"Middle name",
    /* 149 */ u"Device \u2116",
    /* 150 */ u"The history of user:",
    /* 151 */ u"Date/time",
    /* 152 */ u"Event",
    /* 153 */ u"Value",
    /* 154 */ u"Print preview of the history",
    /* 155 */ u"Read device",
    /* 156 */ u"Registration of the device",
    /* 157 */ u"Record to the device",
    /* 158 */ u"Set the device on PC communication mode",
    /* 159 */ u"Search device",
    /* 160 */ u"Device is finding",
    /* 161 */ u"Device isn't found",
    /* 162 */ u"Connect",
    /* 163 */ u"Error connect",
    /* 164 */ u"Error reading device",
    /* 165 */ u"Repeat this operation, please",
    /* 166 */ u"Instrument's registration",
    /* 167 */ u"Save all data in instrument",
    /* 168 */ u"Save the old history and activation time at the instrument",
    /* 169 */ u"Clear history, DE and synchronize instrument with PC",
    /* 170 */ u"Clear history from instrument and set new activation time",
    /* 171 */ u"Clear DE",
    /* 172 */ u"Synchronize instrument with PC",
    /* 173 */ u"recommended",
    /* 174 */ u"Register",
    /* 175 */ u"Click for begin register instrument",
    /* 176 */ u"Not register instrument",
    /* 177 */ u"View reading history",
    /* 178 */ u"Save",
    /* 179 */ u"Save history to rtf-file",
    /* 180 */ u"Print",
    /* 181 */ u"Print this history",
    /* 182 */ u"Registration",
    /* 183 */ u"Registration this instrument",
    /* 184 */ u"Close",
    /* 185 */ u"Close this windows",
    /* 186 */ u"Imposible find user",
    /* 187 */ u"in data base",
    /* 188 */ u"Select user from users box",
    /* 189 */ u"Save history to rtf-file",
    /* 190 */ u"Load history from rtf-file",
    /* 191 */ u"Load",
    /* 192 */ u"Load history from rtf-file|Load history to this window",
    /* 193 */ u"Device time",
    /* 194 */ u"(not register)",
    /* 195 */ u"Device's settings",
    /* 196 */ u"Read",
    /* 197 */ u"Read params from device",
    /* 198 */ u"Record",
    /* 199 */ u"Record params to device",
    /* 200 */ u"Close window of device settings",
    /* 201 */ u"Gamma threshold",
    /* 202 */ u"Input gamma threshold",
    /* 203 */ u"Interval of record events in a history, min",
    /* 204 */ u"Input interval of record events in a history, min (1-2400)",
    /* 205 */ u"Sound",
    /* 206 */ u"Sound on",
    /* 207 */ u"Sound off",
    /* 208 */ u"Gamma channel on",
    /* 209 */ u"Chemistry channel on",
    /* 210 */ u"on",
    /* 211 */ u"off",
    /* 212 */ u"Time/date of activate device",
    /* 213 */ u"Time of activate",
    /* 214 */ u"Date of activate",
    /* 215 */ u"Syncronize with PC",
    /* 216 */ u"Syncronize device time with PC time at record of parameters",
    /* 217 */ u"(set PC time to device)",
    /* 218 */ u"Clear history",
    /* 219 */ u"Clear history at record of parameters",
    /* 220 */ u"max",
    /* 221 */ u"min",
    /* 222 */ u"General",
    /* 223 */ u"Measurement",
    /* 224 */ u"Others",
    /* 225 */ u"The history in the device will be deleted ",
    /* 226 */ u"without restoring and saving to database. Continue?",
    /* 227 */ u"Bad active time read from device! Set new active time!",
    /* 228 */ u"IrdA exchange error.",
    /* 229 */ u"The device time will be syncronize with PC!",
    /* 230 */ u"Other parameters will be ignored, because not all of them are defined!  Continue?",
    /* 231 */ u"The history will be cleared from device without saving to database!",
    /* 232 */ u"The parameters were successfully recorded into device",
    /* 233 */ u"The parameters were not successfully written into device's flash memory.",
    /* 234 */ u"Repeat record operation, please!",
    /* 235 */ u"Incorrectly one of the parameters,  check up them!",
    /* 236 */ u"Loudly",
    /* 237 */ u"Silent",
    /* 238 */ u"Energy econom mode",
    /* 239 */ u"Display of",
    /* 240 */ u"Time indication",
    /* 241 */ u"Brightness",
    /* 242 */ u"Thresholds",
    /* 243 */ u"DER",
    /* 244 */ u"uSv/h",
    /* 245 */ u"mSv/h",
    /* 246 */ u"Sv/h",
    /* 247 */ u"uR/h",
    /* 248 */ u"mR/h",
    /* 249 */ u"R/h",
    /* 250 */ u"DE",
    /* 251 */ u"uSv",
    /* 252 */ u"mSv",
    /* 253 */ u"Sv",
    /* 254 */ u"uR",
    /* 255 */ u"mR",
    /* 256 */ u"R",
    /* 257 */ u"Unit of measurements",
    /* 258 */ u"Sievert",
    /* 259 */ u"Roentgen",
    /* 260 */ u"Job mode",
    /* 261 */ u"Dose rate",
    /* 262 */ u"Equivalent dose",
    /* 263 */ u"Clock-calendar",
    /* 264 */ u"Button beep enable",
    /* 265 */ u"Read information",
    /* 266 */ u"Register device",
    /* 267 */ u"Write information",
    /* 268 */ u"Error write",
    /* 269 */ u"Settings",
    /* 270 */ u"Connection settings",
    /* 271 */ u"Don't show this windows at the next run",
    /* 272 */ u"Accept this settings",
    /* 273 */ u"Leave old settings",
    /* 274 */ u"Select virtual port",
    /* 275 */ u"Virtul port",
    /* 276 */ u"Connection via virtal infrared port",
    /* 277 */ u"Irda connection",
    /* 278 */ u"Irda connection recommended for Window 2000 and higher",
    /* 279 */ u"History settings",
    /* 280 */ u"Show history in Sieverts",
    /* 281 */ u"Show history in  Roentgen",
    /* 282 */
    u"Instrument is not registered to any user. Disable clear history of unregister instrument!",
};

// Which entries the lines of a language file fill: runs of consecutive entries,
// in file order.
struct LineRun {
  int firstEntry;
  int count;
};

constexpr LineRun FileLineRuns[] = {
    {0, 18},   // file lines 0-17
    {21, 64},  // file lines 18-81
    {99, 41},  // file lines 82-122
    {144, 56}, // file lines 123-178
    {201, 19}, // file lines 179-197
    {225, 3},  // file lines 198-200
    {229, 35}, // file lines 201-235
    {265, 14}, // file lines 236-249
    {92, 5},   // file lines 250-254
    {228, 1},  // file line 255
    {282, 1},  // file line 256
    {18, 3},   // file lines 257-259
    {140, 1},  // file line 260
    {279, 3},  // file lines 261-263
    {220, 5},  // file lines 264-268
    {200, 1},  // file line 269
    {85, 2},   // file lines 270-271
    {97, 2},   // file lines 272-273
    {87, 5},   // file lines 274-278
    {141, 2},  // file lines 279-280
    {264, 1},  // file line 281
};

constexpr int runLineTotal() {
  int n = 0;
  for (const LineRun &r : FileLineRuns)
    n += r.count;
  return n;
}
static_assert(runLineTotal() == TextTable::FileLineCount);

const std::array<QString, TextTable::Count> &englishTable() {
  static const std::array<QString, TextTable::Count> table = [] {
    std::array<QString, TextTable::Count> t;
    for (int i = 0; i < TextTable::Count; ++i)
      t[i] = QString::fromUtf16(EnglishTexts[i]);
    return t;
  }();
  return table;
}

} // namespace

TextTable::TextTable() {
  restoreDefaults();
}

const QString &TextTable::at(int index) const {
  static const QString empty;
  return index >= 0 && index < Count ? texts_[index] : empty;
}

void TextTable::set(int index, const QString &text) {
  if (index >= 0 && index < Count)
    texts_[index] = text;
}

void TextTable::restoreDefaults() {
  texts_ = englishTable();
  language_ = Language::English;
  added_.clear();
}

bool TextTable::loadLanguageFile(const QString &path) {
  const std::optional<QStringList> lines =
      ReadLanguageFile(path, FileLineCount + int(ProgramText::Count));
  if (!lines)
    return false;
  const int used = std::min<qsizetype>(lines->size(), FileLineCount);
  for (int k = 0; k < used; ++k)
    texts_[entryOfFileLine(k)] = lines->at(k);
  language_ = LanguageOfFile(QFileInfo(path).fileName());
  added_ = lines->mid(FileLineCount);
  return true;
}

QString TextTable::text(ProgramText t) const {
  const QString &line = added_.value(int(t));
  return line.isEmpty() ? ProgramTextIn(language_, t) : CompleteProgramText(t, line);
}

const QString &TextTable::defaultText(int index) {
  static const QString empty;
  return index >= 0 && index < Count ? englishTable()[index] : empty;
}

int TextTable::entryOfFileLine(int line) {
  if (line < 0)
    return -1;
  for (const LineRun &r : FileLineRuns) {
    if (line < r.count)
      return r.firstEntry + line;
    line -= r.count;
  }
  return -1;
}

QString TextTable::shortHint(const QString &hint) {
  const qsizetype bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.left(bar);
}

QString TextTable::longHint(const QString &hint) {
  const qsizetype bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.mid(bar + 1);
}
