// The short web pages the program opens: the help page for a missing companion file and the
// product page, in the language the browser asks for.
#pragma once
#include <string>
#include <string_view>

// One of ko, en, ja, ru, it, fr, zh: the first of the Accept-Language header's ranges, by
// weight, whose primary tag is one of them; "en" when none is.
std::string PageLanguage(std::string_view acceptLanguage);

// The help page for "webpnotfound" or "ffmpegnotfound"; any other message gets the general
// help page. A whole HTML document in UTF-8.
std::string HelpPage(std::string_view message, std::string_view language);
// The product page for a program of `version` (as sent, possibly empty). `latestVersion` and
// `latestLink` are the offered update from the notices, or empty.
std::string ProductPage(std::string_view version, std::string_view language, std::string_view latestVersion,
                        std::string_view latestLink);

std::string HtmlEscape(std::string_view text);
