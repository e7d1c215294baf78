// The lookup against a fake board library that hands out a chosen pcbaMac field.
#include "commissioning/boardcfg.h"
#include "commissioning/pcba_mac.h"

#include <algorithm>
#include <iterator>

#include <cstdio>
#include <cstring>

namespace {

bool libraryFails;
char fieldBytes[sizeof ConfigTable{}.pcbaMac];

struct Case {
    const char* name;
    const char* field;  // copied with its terminator; nullptr: the library fails
    bool usable;
};

const Case cases[] = {
    {"colon-separated", "02:11:22:33:44:55", true},
    {"bare digits", "021122334455", true},
    {"mixed case kept", "0a:Bb:cC:DD:ee:FF", true},
    {"lowest unicast", "00:00:00:00:00:01", true},
    {"first octet fe", "fe:ff:ff:ff:ff:ff", true},
    {"library fails", nullptr, false},
    {"empty", "", false},
    {"all zeros", "00:00:00:00:00:00", false},
    {"all zeros bare", "000000000000", false},
    {"multicast", "01:00:5e:00:00:01", false},
    {"broadcast", "ff:ff:ff:ff:ff:ff", false},
    {"group bit, bare", "03aabbccddee", false},
    {"dashes", "02-11-22-33-44-55", false},
    {"dots", "0211.2233.4455", false},
    {"misplaced colons", "0211:2233:4455:6", false},
    {"one group short", "02:11:22:33:44:5", false},
    {"seven groups", "02:11:22:33:44:55:66", false},
    {"non-hex digit", "02:11:22:33:44:5g", false},
    {"leading blank", " 02:11:22:33:44:55", false},
    {"trailing blank", "02:11:22:33:44:55 ", false},
    {"trailing newline", "02:11:22:33:44:55\n", false},
    {"carriage return", "02:11:22:33:44:55\r", false},
    {"shell command", "02:11:22:33:44:55; reboot", false},
    {"substitution", "$(reboot)", false},
    {"long text", "02:11:22:33:44:55:02:11:22:33:44:55", false},
};

}  // namespace

extern "C" bool BcGetConfigTable(ConfigTable* table)
{
    if (libraryFails) return false;
    memcpy(table->pcbaMac, fieldBytes, sizeof fieldBytes);
    return true;
}

namespace {

constexpr char untouched = '#';
int failures;

// Runs the lookup on the field; counts a failure when result or buffer is wrong.
void expectLookup(const char* name, bool usable, const char* expected)
{
    char mac[macTextSize];
    memset(mac, untouched, sizeof mac);
    const char* fault = nullptr;
    bool found = getMacFromDb(mac);
    if (found != usable) {
        fault = usable ? "refused a usable address" : "accepted an unusable text";
    } else if (found && (expected == nullptr || strcmp(mac, expected) != 0)) {
        fault = "buffer differs from the field";
    } else if (!found && !std::all_of(std::begin(mac), std::end(mac), [](char c) { return c == untouched; })) {
        fault = "buffer touched on refusal";
    }
    if (fault == nullptr) return;
    ++failures;
    printf("FAIL %s: %s\n", name, fault);
}

}  // namespace

int main()
{
    int count = 0;
    for (const Case& c : cases) {
        libraryFails = c.field == nullptr;
        memset(fieldBytes, 'x', sizeof fieldBytes);
        if (c.field != nullptr) memcpy(fieldBytes, c.field, strlen(c.field) + 1);
        expectLookup(c.name, c.usable, c.field);
        ++count;
    }

    // A field filled to its end with no terminator must not be read past: an
    // address there, followed by anything but NUL, is refused.
    libraryFails = false;
    memset(fieldBytes, 'a', sizeof fieldBytes);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the field is meant to have no terminator.
    memcpy(fieldBytes, "02:11:22:33:44:55", 17);
    expectLookup("unterminated field", false, nullptr);
    ++count;

    // What follows the terminator is not the library's text.
    memset(fieldBytes, 'z', sizeof fieldBytes);
    memcpy(fieldBytes, "02:11:22:33:44:55", 18);
    expectLookup("bytes after the terminator", true, "02:11:22:33:44:55");
    ++count;

    printf("%d passed, %d failed\n", count - failures, failures);
    return failures == 0 ? 0 : 1;
}
