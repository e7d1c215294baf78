// Fuzzes the rewrite's decision and new contents. Input: one byte giving the
// MAC text's length (modulo its buffer), the MAC text, then the file's bytes.
// The oracle is what must hold of any file, written apart from the code: the
// old bytes all kept in order, one line added right after eth0's definition
// (its first two words, split at blanks and tabs, a CR before the newline
// counting as white space), n + 37 + the MAC's length bytes, a second rewrite
// finding the setting, and each refusal with its own message. A stanza of eth0
// with its own hwaddress line counts as the setting: ifupdown's address wins.
#include "commissioning/pcba_mac.h"
#include "insertion.h"

#include <cstdint>
#include <iterator>
#include <numeric>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char presentMessage[] = "The interfaces file already contains MAC setting; will not override\n";
constexpr char noEth0Message[] = "Did not find eth0 definition in the interfaces file\n";
constexpr char noLineEndMessage[] = "Did not find the end of line - this might be a bug\n";
constexpr std::size_t prefixLength = 36;

void require(bool holds, const char* what)
{
    if (holds) return;
    (void)fprintf(stderr, "broken: %s\n", what);
    abort();
}

bool says(const char* notice, const char* message)
{
    return notice != nullptr && strcmp(notice, message) == 0;
}

// The first two words of the line [start, end), split as ifupdown splits them.
struct Words {
    char first[32];
    char second[32];
};

Words firstWords(const char* text, std::size_t start, std::size_t end, bool endsWithNewline)
{
    if (endsWithNewline && end > start && text[end - 1] == '\r') --end;
    char* line = strndup(text + start, end - start);
    char* save = nullptr;
    Words words = {};
    const char* first = strtok_r(line, " \t", &save);
    const char* second = first != nullptr ? strtok_r(nullptr, " \t", &save) : nullptr;
    if (first != nullptr) (void)snprintf(words.first, sizeof words.first, "%s", first);
    if (second != nullptr) (void)snprintf(words.second, sizeof words.second, "%s", second);
    free(line);
    return words;
}

bool lineDefinesEth0(const char* text, std::size_t start, std::size_t end, bool endsWithNewline)
{
    Words words = firstWords(text, start, end, endsWithNewline);
    return strcmp(words.first, "iface") == 0 && strcmp(words.second, "eth0") == 0;
}

bool isStanzaStart(const char* word)
{
    const char* const starts[] = {"iface", "mapping", "auto", "source", "source-directory", "rename"};
    for (const char* start : starts) {
        if (strcmp(word, start) == 0) return true;
    }
    return strncmp(word, "allow-", 6) == 0;
}

// Whether any stanza of eth0 holds a line whose first word is hwaddress.
bool eth0HasOwnAddress(const char* text, std::size_t length)
{
    bool inEth0 = false;
    for (std::size_t at = 0; at < length;) {
        const char* newline = static_cast<const char*>(memchr(text + at, '\n', length - at));
        std::size_t end = newline != nullptr ? static_cast<std::size_t>(newline - text) : length;
        Words words = firstWords(text, at, end, newline != nullptr);
        if (isStanzaStart(words.first)) {
            inEth0 = strcmp(words.first, "iface") == 0 && strcmp(words.second, "eth0") == 0;
        } else if (inEth0 && strcmp(words.first, "hwaddress") == 0) {
            return true;
        }
        if (newline == nullptr) break;
        at = end + 1;
    }
    return false;
}

// The offset of the line defining eth0 and whether a newline ends it; false without one.
bool findDefinition(const char* text, std::size_t length, std::size_t* start, bool* ended)
{
    for (std::size_t at = 0; at < length;) {
        const char* newline = static_cast<const char*>(memchr(text + at, '\n', length - at));
        std::size_t end = newline != nullptr ? static_cast<std::size_t>(newline - text) : length;
        if (lineDefinesEth0(text, at, end, newline != nullptr)) {
            *start = at;
            *ended = newline != nullptr;
            return true;
        }
        if (newline == nullptr) break;
        at = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    std::size_t macLength = data[0] % macTextSize;
    if (size < 1 + macLength) return 0;
    char mac[macTextSize] = {};
    memcpy(mac, data + 1, macLength);
    std::size_t n = size - 1 - macLength;
    // A buffer of the file's exact size, so that any read past it is caught.
    char* contents = static_cast<char*>(malloc(n + 1));
    memcpy(contents, data + 1 + macLength, n);
    char* copy = static_cast<char*>(malloc(n + 1));
    memcpy(copy, contents, n);

    std::size_t text = strnlen(contents, n);
    bool present = memmem(contents, text, macSettingPrefix, prefixLength) != nullptr;
    std::size_t definition = 0;
    bool ended = false;
    bool defined = findDefinition(contents, text, &definition, &ended);
    bool ownAddress = eth0HasOwnAddress(contents, text);

    Insertion insertion = planInsertion(contents, n);
    require(memcmp(contents, copy, n) == 0, "the decision changed the bytes");
    // The refusals, in the order their checks come.
    const char* refusal = nullptr;
    if (present) refusal = presentMessage;
    if (!present && !defined) refusal = noEth0Message;
    if (!present && defined && !ended) refusal = noLineEndMessage;
    if (!present && defined && ended && ownAddress) refusal = presentMessage;
    if (refusal != nullptr) {
        int status = refusal == presentMessage ? 0 : 1;
        require(says(insertion.notice, refusal) && insertion.status == status, refusal);
    } else {
        require(insertion.notice == nullptr, "an insertion");
        const char* lineEnd = static_cast<const char*>(memchr(contents + definition, '\n', text - definition));
        require(insertion.headSize == static_cast<std::size_t>(lineEnd + 1 - contents),
                "right after the definition's line");

        Piece pieces[pieceCount];
        layOutPieces(contents, n, insertion.headSize, mac, pieces);
        std::size_t total = std::accumulate(std::begin(pieces), std::end(pieces), std::size_t{0},
                                            [](std::size_t sum, const Piece& piece) { return sum + piece.size; });
        std::size_t line = prefixLength + strlen(mac) + 1;
        require(total == n + line, "n + 37 + the MAC's length");
        char* result = static_cast<char*>(malloc(total + 1));
        std::size_t at = 0;
        for (const Piece& piece : pieces) {
            memcpy(result + at, piece.data, piece.size);
            at += piece.size;
        }
        std::size_t head = insertion.headSize;
        require(memcmp(result, copy, head) == 0, "the head kept");
        require(memcmp(result + head + line, copy + head, n - head) == 0, "the tail kept");
        require(memcmp(result + head, macSettingPrefix, prefixLength) == 0 &&
                    memcmp(result + head + prefixLength, mac, strlen(mac)) == 0 && result[head + line - 1] == '\n',
                "the line itself");
        Insertion again = planInsertion(result, total);
        require(says(again.notice, presentMessage) && again.status == 0, "a second rewrite finds the setting");
        free(result);
    }
    free(copy);
    free(contents);
    return 0;
}
