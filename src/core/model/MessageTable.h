#pragma once
// The one table of the texts the core library and varnelctl show, in Chinese
// (the system's own text, what core returns) and in English. Core keeps
// returning the Chinese text; front ends look its English up here: the
// desktop program shows it instead in its English interface, varnelctl adds
// it after the Chinese in an English locale.
//
// A text made with values is a pattern: {1} .. {9} stand for the values, in
// either language and in any order. A value that is itself a text of the
// table is translated in turn ("注册会话失败：应答格式错误").
#include <span>
#include <string>
#include <string_view>

namespace varnel {

struct MessageText {
    std::string_view zh;
    std::string_view en;
    // The Chinese text already carries its English ("没有其他DHCP服务器应答
    // (no other DHCP server answered)"): varnelctl adds nothing to it.
    bool bilingual = false;
};

std::span<const MessageText> MessageTable();

// The English of a text, line by line. A line the table does not know stays
// as it is, except that in "ASCII: TEXT" and "TEXT: ASCII" (a slot before
// the text, the system's reason after it) the known TEXT is translated.
// Texts without Chinese stay.
std::string EnglishText(std::string_view text);

// The text with the English after each line the table knows, as
// "中文 (English)". Bilingual lines keep their wording, and only values
// in them that are Chinese texts of the table get their English added.
std::string WithEnglish(std::string_view text);

// True when the environment asks for English messages: the first of LC_ALL,
// LC_MESSAGES and LANG that is set starts with "en".
bool EnglishLocale();

// A text as a terminal shows it: WithEnglish in an English locale, else the
// text itself (varnelctl, and the desktop program when it runs unattended).
std::string TerminalText(std::string_view text);

}  // namespace varnel
