// Messages in the user's language: the Japanese of the library's failure
// descriptions and of the few texts its dialogs set themselves, from a
// gettext message catalog (po/ja.po, compiled by msgfmt into
// <localedir>/<language>/LC_MESSAGES/kt482.mo).
//
// The language is the one the environment names for messages (LANGUAGE,
// then LC_ALL, LC_MESSAGES, LANG, as gettext reads them); English when it
// names none the library has a catalog for, or C. The catalog is read by the
// library itself rather than through the C library's gettext, which answers
// only in a locale the system has generated and after the host called
// setlocale: a form printed from a host that never did must still speak
// Japanese. The catalog is looked for in $KT482_LOCALEDIR, beside the
// installed library (<libdir>/../share/locale) and in the build tree, in
// that order; none found is English, never a failure.
#pragma once

#include <string>
#include <string_view>

namespace kt482 {

// The translation of an English text, or the text itself. The result lives
// as long as the process.
const char* translated(const char* english);

// A description in the user's language: the translation of the whole text,
// else of its head before the first ": " with the rest kept as it stands
// ("No printer of that name is installed: \"経理部のプリンタ\""), else the
// text as it is.
std::string localized(std::string_view english);

}  // namespace kt482
