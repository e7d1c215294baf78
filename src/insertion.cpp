#include "insertion.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr char eth0Keyword[] = "iface";
constexpr char eth0Name[] = "eth0";
constexpr char lineEnd[] = "\n";
// A stanza's own address, which ifupdown applies after every pre-up line.
constexpr char ownAddressKeyword[] = "hwaddress";
// The first words that start a stanza, and so end the one before.
constexpr const char* stanzaKeywords[] = {"iface", "mapping", "auto", "source", "source-directory",
                                          "rename"};
constexpr char allowKeywordPrefix[] = "allow-";

constexpr char settingPresentMessage[] =
    "The interfaces file already contains MAC setting; will not override\n";
constexpr char noEth0Message[] = "Did not find eth0 definition in the interfaces file\n";
constexpr char noLineEndMessage[] = "Did not find the end of line - this might be a bug\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the word at text ends at offset length: ifupdown splits at blanks, and a
// carriage return before the newline is white space too.
bool endsWordAt(const char* text, std::size_t length, std::size_t offset)
{
    if (offset == length) return true;
    char c = text[offset];
    if (isBlank(c) || c == lineEnd[0]) return true;
    return c == '\r' && offset + 1 < length && text[offset + 1] == lineEnd[0];
}

// Past the word at offset if it is word, else offset unchanged.
std::size_t skipWord(const char* text, std::size_t length, std::size_t offset, const char* word)
{
    std::size_t wordLength = strlen(word);
    if (length - offset < wordLength) return offset;
    // Compared by hand: a word of four or five bytes is not worth an import.
    for (std::size_t i = 0; i < wordLength; ++i) {
        if (text[offset + i] != word[i]) return offset;
    }
    return endsWordAt(text, length, offset + wordLength) ? offset + wordLength : offset;
}

std::size_t skipBlanks(const char* text, std::size_t length, std::size_t offset)
{
    while (offset < length && isBlank(text[offset])) ++offset;
    return offset;
}

// Whether the line at start defines eth0: its first two words are iface and eth0,
// so that comments and eth0.1, eth0:1 or eth01 never count.
bool definesEth0(const char* text, std::size_t length, std::size_t start)
{
    std::size_t offset = skipBlanks(text, length, start);
    std::size_t afterKeyword = skipWord(text, length, offset, eth0Keyword);
    if (afterKeyword == offset) return false;
    offset = skipBlanks(text, length, afterKeyword);
    if (offset == afterKeyword) return false;
    return skipWord(text, length, offset, eth0Name) != offset;
}

bool firstWordIs(const char* text, std::size_t length, std::size_t start, const char* word)
{
    std::size_t offset = skipBlanks(text, length, start);
    return skipWord(text, length, offset, word) != offset;
}

bool startsStanza(const char* text, std::size_t length, std::size_t start)
{
    auto isFirstWord = [&](const char* keyword) { return firstWordIs(text, length, start, keyword); };
    if (std::any_of(std::begin(stanzaKeywords), std::end(stanzaKeywords), isFirstWord)) return true;
    std::size_t offset = skipBlanks(text, length, start);
    std::size_t prefixLength = strlen(allowKeywordPrefix);
    return length - offset >= prefixLength && memcmp(text + offset, allowKeywordPrefix, prefixLength) == 0;
}

// The offset of the line after the one at start, or length for the last line.
std::size_t nextLine(const char* text, std::size_t length, std::size_t start)
{
    const char* end = static_cast<const char*>(memchr(text + start, lineEnd[0], length - start));
    return end == nullptr ? length : static_cast<std::size_t>(end + 1 - text);
}

// Whether a stanza of eth0 sets its own address: ifupdown would then give eth0
// that one, whatever the inserted line had set.
bool eth0SetsOwnAddress(const char* text, std::size_t length)
{
    bool inEth0Stanza = false;
    for (std::size_t start = 0; start < length; start = nextLine(text, length, start)) {
        if (startsStanza(text, length, start)) {
            inEth0Stanza = definesEth0(text, length, start);
        } else if (inEth0Stanza && firstWordIs(text, length, start, ownAddressKeyword)) {
            return true;
        }
    }
    return false;
}

}  // namespace

// The search is over text, so it stops at a NUL byte.
bool carriesMacSetting(const char* contents, std::size_t size)
{
    return memmem(contents, strnlen(contents, size), macSettingPrefix, strlen(macSettingPrefix)) !=
           nullptr;
}

Insertion planInsertion(const char* contents, std::size_t size)
{
    std::size_t length = strnlen(contents, size);
    if (carriesMacSetting(contents, length)) return {settingPresentMessage, 0, 0};

    for (std::size_t start = 0; start < length;) {
        const char* end = static_cast<const char*>(memchr(contents + start, lineEnd[0], length - start));
        if (definesEth0(contents, length, start)) {
            if (end == nullptr) return {noLineEndMessage, 1, 0};
            if (eth0SetsOwnAddress(contents, length)) return {settingPresentMessage, 0, 0};
            return {nullptr, 0, static_cast<std::size_t>(end + 1 - contents)};
        }
        if (end == nullptr) break;
        start = static_cast<std::size_t>(end + 1 - contents);
    }
    return {noEth0Message, 1, 0};
}

void layOutPieces(const char* contents, std::size_t size, std::size_t headSize, const char* mac,
                  Piece (&pieces)[pieceCount])
{
    pieces[0] = {contents, headSize};
    pieces[1] = {macSettingPrefix, strlen(macSettingPrefix)};
    pieces[2] = {mac, strlen(mac)};
    pieces[3] = {lineEnd, strlen(lineEnd)};
    pieces[4] = {contents + headSize, size - headSize};
}
