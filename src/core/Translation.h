// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvel {

// The catalogue of the player's texts: po/<language>.po, compiled to <language>/LC_MESSAGES/
// orvel-player.mo under the locale folder.
inline constexpr const char* kTextDomain = "orvel-player";

// The text in the user's language: the catalogue's translation of the English text, or the English
// text itself where there is none. Texts that are data (stored keys, page messages, MIME types)
// never go through here.
std::string translated(const char* english);
// The same for a text marked N_() where it is defined.
std::string translated(std::string_view english);

// The form of the text for `count`: English has one form for 1 and another for the rest; other
// languages have their own rules, which their catalogue gives.
std::string translatedPlural(const char* one, const char* many, unsigned long count);

// The text with the values in place of its %s, in order, or of %1$s, %2$s… where a translation
// puts them in another order; %% is a per cent sign. A placeholder without a value stays as it is.
std::string formatted(std::string_view pattern, std::initializer_list<std::string_view> values);

// Reads the catalogues in `folder` from now on.
void useLocaleFolder(const std::string& folder);

}  // namespace orvel

// A text shown to the user, translated where it is used; xgettext collects the texts of both.
#define _(text) ::orvel::translated(text)
#define P_(one, many, count) ::orvel::translatedPlural(one, many, count)
// A text translated elsewhere: marked here, where it is defined, for the catalogue.
#define N_(text) text
