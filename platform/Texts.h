#pragma once
// The operator's words for what the platform layer reports: each text has a
// key of the program's language pack and the English shown when the pack
// lacks the key or no pack is read at all.
#include <functional>

#include <wx/string.h>

namespace plat {

struct LangText {
    const char* key;
    const char* english;
};

// The program's lookup of a text in its language pack, set at start-up.
// Without one every text is its English.
void SetTextLookup(std::function<wxString(const LangText&)> lookup);

wxString Text(const LangText& text);

// The word processor's failures; its reason follows as it comes.
inline constexpr LangText kDocSaveFailed{"IDS_DOC_SAVE_FAILED", "The document could not be saved:"};
inline constexpr LangText kPrintFailed{"IDS_PRINT_FAILED", "The document could not be printed:"};

}  // namespace plat
