// The locales the add-in offers: one entry per LCID the running system knows, with its English
// language and country names, its ANSI code page and the GDI character set of that code page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tamrel::evlog {

class TLocale {
public:
    int Index = 0; // position in the list when it was added
    uint32_t Locale = 0;
    std::wstring Language;
    std::wstring Country;
    int CodePage = 0; // 0 when the system gives no number
    int Charset = -1; // -1 when the code page has none

    // Language (Country)
    std::wstring DisplayText() const { return Language + L" (" + Country + L")"; }
};

class TLocales {
public:
    int Count() const { return static_cast<int>(FLocales.size()); }
    TLocale* Locales(int index) const;
    // -1 when absent.
    int IndexOfLocale(uint32_t locale) const;
    TLocale* Add(std::unique_ptr<TLocale> locale);

private:
    std::vector<std::unique_ptr<TLocale>> FLocales;
};

// The add-in's one list: every LCID of the built-in table that the system knows, in ascending
// order, made on first use; LCIDs added later follow them.
TLocales& AllLocales();
// The entry of the LCID, added to AllLocales when new; null when the system does not know it.
TLocale* AddLocale(uint32_t locale);
// The entry of AllLocales with the LCID, else AddLocale.
TLocale* FindLocale(uint32_t locale);

} // namespace tamrel::evlog
