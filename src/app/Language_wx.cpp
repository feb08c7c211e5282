#include "app/Language_wx.h"

#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/translation.h>

#include "system/SysUtils.h"
#include "system/Translate.h"

namespace orvane {

namespace {

std::string TranslateText(const char* english) {
  return wxGetTranslation(wxString::FromUTF8(english), kCatalogDomain).utf8_string();
}

std::string TranslatePlural(const char* singular, const char* plural, unsigned long count) {
  return wxGetTranslation(wxString::FromUTF8(singular), wxString::FromUTF8(plural), count, kCatalogDomain)
      .utf8_string();
}

#ifdef __WINDOWS__
// Windows hands resource names back in capitals ("ORVANESUPPORT_DE"), so
// the catalogs on offer read "DE"; matched against the user's languages
// ("de", "de_AT") they must read as catalog names do.
class TResourceCatalogs : public wxResourceTranslationsLoader {
 public:
  wxArrayString GetAvailableTranslations(const wxString& domain) const override {
    wxArrayString names = wxResourceTranslationsLoader::GetAvailableTranslations(domain);
    for (wxString& name : names) {
      const wxString language = name.BeforeFirst('_').Lower();
      const wxString region = name.AfterFirst('_').Upper();
      name = region.empty() ? language : language + "_" + region;
    }
    return names;
  }
};
#endif

}  // namespace

void InstallTranslations(const std::string& language) {
  auto* translations = new wxTranslations;
#ifdef __WINDOWS__
  // The catalogs travel inside the program: one file to hand out.
  translations->SetLoader(new TResourceCatalogs);
#else
  static bool prefixesAdded = false;
  if (!prefixesAdded) {
    prefixesAdded = true;
    const wxString folder = wxString::FromUTF8(GetProgramFolder());
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(folder + "locale");
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(folder + ".." + wxFileName::GetPathSeparator() +
                                                         "share" + wxFileName::GetPathSeparator() + "locale");
  }
#endif
  if (!language.empty()) translations->SetLanguage(wxString::FromUTF8(language));
  // Owned by the toolkit from here on.
  wxTranslations::Set(translations);
  translations->AddStdCatalog();
  // The source texts are English: asked for English (or a language without
  // a catalog) the texts stay as written.
  translations->AddCatalog(kCatalogDomain, wxLANGUAGE_ENGLISH_US);
  SetTranslator(&TranslateText, &TranslatePlural);
}

void RemoveTranslations() {
  SetTranslator(nullptr, nullptr);
  wxTranslations::Set(nullptr);
}

}  // namespace orvane
