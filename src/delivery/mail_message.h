// The announcement mail as text: address lists, header encoding and the composed message
// (headers and quoted-printable body, CR LF line ends), which is both the .eml copy and
// what goes over SMTP. Input texts are Windows-1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"

namespace listelo {

struct MailAddress {
  std::string display_name;  // unquoted, may be empty
  std::string address;       // local@domain, without angle brackets
};

// Reads a comma-separated address list: "a@b", "Name <a@b>", "\"Dupont, Jean\" <a@b>",
// "a@b (comment)". Commas inside quotes, angle brackets and comments do not separate;
// empty elements are skipped.
std::vector<MailAddress> ParseAddressList(std::string_view text);

// True when the address can go into an SMTP command as it is: printable ASCII, no blank,
// no angle bracket, one "@" with text on both sides.
bool IsUsableAddress(std::string_view address);

// Windows-1252 text as ISO-8859-15 bytes; false when a character has no place there
// (the typographic quotes, the dashes, "…"), leaving `out` unspecified.
bool AnsiToIso885915(std::string_view ansi, std::string& out);

// Quoted-printable (RFC 2045) with CR LF line ends and lines of at most 76 characters.
std::string QuotedPrintable(std::string_view bytes);

// An unstructured header value (a subject): as it is when it is printable ASCII, else
// RFC 2047 encoded words in ISO-8859-15, or in UTF-8 when ISO-8859-15 cannot hold it.
// Control characters (a line break in a summary) become blanks, so that the value
// cannot start a header of its own.
std::string EncodeHeaderText(std::string_view ansi);

// "Name <a@b>, c@d": display names quoted or encoded as needed.
std::string FormatAddressList(const std::vector<MailAddress>& addresses);

// "Tue, 08 Dec 2026 14:03:09 +0100": the local time with the host's offset from UTC.
std::string FormatMailDate(const DateTime& local);

struct MailMessage {
  std::string from;  // address only
  std::vector<MailAddress> to;
  std::vector<MailAddress> cc;
  std::vector<MailAddress> bcc;  // envelope only: never a header
  std::string subject;
  std::string content_type;
  std::string body;        // Windows-1252
  std::string date;        // FormatMailDate
  std::string message_id;  // without angle brackets

  // Every envelope recipient: To, Cc and Bcc in that order.
  std::vector<std::string> Recipients() const;
};

// The message as sent: headers folded to 78 columns, an empty line, the body in
// ISO-8859-15 and quoted-printable. Characters that ISO-8859-15 lacks are written as
// HTML character references, which the text/html body understands.
std::string ComposeMessage(const MailMessage& message);

}  // namespace listelo
