#pragma once
// What Setup's record says about a file it wrote, and whether the file is still that. The record holds
// each file's SHA-256; for the card database also the SHA-256 of its text without the server's one
// write into it (the model's maximum voltage, "Large" in section "Voltage"), so that a database that
// only the server has written to is still known as Setup's.

#include <optional>
#include <string>
#include <string_view>

namespace setupkit {

// A file's content as the record compares it: SHA-256 in 64 hexadecimal digits, and for the card
// database the same of its text without the server's write.
struct Content {
    std::wstring hash;
    std::wstring hashWithoutServerWrite;

    bool operator==(const Content&) const = default;
};

// The record's value for the content; empty when a hash is missing (such a value is never written).
std::wstring recordValue(const Content& content);

// The content a record's value names, or none for a value that is not one (which then names no
// content: the file is not known as Setup's). Records made before the database's second hash hold
// "any" for it: the file is Setup's whatever it holds.
struct RecordedContent {
    bool anyContent = false;
    Content content;
};
std::optional<RecordedContent> parseRecordValue(std::wstring_view value);

enum class Sameness { AsWritten, ChangedOnlyByTheServer, Changed };
Sameness compare(const RecordedContent& recorded, const Content& now);

// The card database's text as the record compares it: its lines without blanks around them and
// around the first "=", blank lines left out, and without the server's one write (the key "Large" of
// section "Voltage", and that section's heading when nothing else is left in it). A profile writer
// rewrites the file in its own layout; none of that counts as a change.
std::string withoutServerWrite(std::string_view text);

}  // namespace setupkit
