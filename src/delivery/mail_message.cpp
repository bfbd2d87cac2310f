#include "delivery/mail_message.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/text.h"

namespace listelo {
namespace {

constexpr size_t kHeaderWidth = 78;  // folded header lines stay within this
// Below the 75 that RFC 2047 allows, so that the first word fits beside "Subject: ".
constexpr size_t kEncodedWordMax = 64;
constexpr size_t kQpLineMax = 76;  // RFC 2045 limit, soft-break "=" included

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Hex2(unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {'=', kDigits[c >> 4], kDigits[c & 0x0F]};
}

// The ISO-8859-15 byte of one Windows-1252 character, or -1 when it has none. The two
// sets agree but for the few places where ISO-8859-15 put the euro sign and the French
// and Finnish letters that Latin-1 lacked.
int Iso885915Byte(char c) {
  const char32_t cp = AnsiToCodePoint(static_cast<unsigned char>(c));
  struct Moved {
    char32_t code_point;
    unsigned char byte;
  };
  static constexpr std::array<Moved, 8> kMoved = {{{0x20AC, 0xA4},
                                                   {0x0160, 0xA6},
                                                   {0x0161, 0xA8},
                                                   {0x017D, 0xB4},
                                                   {0x017E, 0xB8},
                                                   {0x0152, 0xBC},
                                                   {0x0153, 0xBD},
                                                   {0x0178, 0xBE}}};
  for (const Moved& m : kMoved) {
    if (m.code_point == cp) return m.byte;
    if (m.byte == cp) return -1;  // the Latin-1 character that gave its place up
  }
  return cp <= 0xFF ? static_cast<int>(cp) : -1;
}

// Splits at top-level commas: not inside a quoted string, angle brackets or a comment.
std::vector<std::string_view> SplitAddressList(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  bool quoted = false;
  int comment_depth = 0;
  bool in_angle = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((quoted || comment_depth > 0) && c == '\\') {
      ++i;  // the escaped character never ends anything
    } else if (quoted) {
      quoted = c != '"';
    } else if (comment_depth > 0) {
      comment_depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '(') {
      comment_depth = 1;
    } else if (c == '<') {
      in_angle = true;
    } else if (c == '>') {
      in_angle = false;
    } else if (c == ',' && !in_angle) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

// Quoted strings unquoted, comments dropped, runs of blanks made one blank.
std::string CleanPhrase(std::string_view text) {
  std::string out;
  bool quoted = false;
  int comment_depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && (quoted || comment_depth > 0) && i + 1 < text.size()) {
      c = text[++i];
      if (comment_depth == 0) out.push_back(c);
      continue;
    }
    if (comment_depth > 0) {
      comment_depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == '(' && !quoted) {
      comment_depth = 1;
    } else if (IsBlank(c)) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

MailAddress ParseAddress(std::string_view element) {
  // The angle bracket that opens the address is the first one outside quotes.
  bool quoted = false;
  for (size_t i = 0; i < element.size(); ++i) {
    const char c = element[i];
    if (c == '\\' && quoted) {
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == '<' && !quoted) {
      const size_t close = element.find('>', i + 1);
      const size_t end = close == std::string_view::npos ? element.size() : close;
      return {CleanPhrase(element.substr(0, i)),
              std::string(TrimBlanks(element.substr(i + 1, end - i - 1)))};
    }
  }
  return {"", CleanPhrase(element)};
}

bool IsPrintableAscii(std::string_view text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// Characters that may stand for themselves in a Q-encoded word, even inside a phrase.
bool IsQLiteral(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '!' ||
         c == '*' || c == '+' || c == '-' || c == '/';
}

// Bytes cut into characters: one byte each, or one UTF-8 sequence each.
std::vector<std::string> Characters(std::string_view bytes, bool utf8) {
  std::vector<std::string> chars;
  for (unsigned char c : bytes) {
    if (utf8 && (c & 0xC0) == 0x80 && !chars.empty()) {
      chars.back().push_back(static_cast<char>(c));
    } else {
      chars.emplace_back(1, static_cast<char>(c));
    }
  }
  return chars;
}

std::string EncodedWords(std::string_view bytes, std::string_view charset, bool utf8) {
  const std::string prefix = "=?" + std::string(charset) + "?Q?";
  const size_t room = kEncodedWordMax - prefix.size() - 2;
  std::string words;
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    if (!words.empty()) words.push_back(' ');
    words += prefix + word + "?=";
    word.clear();
  };
  for (const std::string& ch : Characters(bytes, utf8)) {
    std::string encoded;
    for (unsigned char c : ch) {
      encoded += c == ' ' ? std::string("_") : IsQLiteral(c) ? std::string(1, c) : Hex2(c);
    }
    if (word.size() + encoded.size() > room) flush();
    word += encoded;
  }
  flush();
  return words;
}

bool IsAtext(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         std::string_view("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) !=
             std::string_view::npos;
}

std::string FormatDisplayName(std::string_view name) {
  if (!IsPrintableAscii(name)) return EncodeHeaderText(name);
  bool plain = name.find("=?") == std::string_view::npos;
  for (unsigned char c : name) plain = plain && (IsAtext(c) || c == ' ');
  if (plain) return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

// "Name: value" with line breaks before blanks so that lines keep within the width.
std::string FoldHeader(std::string_view name, std::string_view value) {
  std::string out(name);
  out.push_back(':');
  size_t line_length = out.size();
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(' ', start);
    if (end == std::string_view::npos) end = value.size();
    const std::string_view word = value.substr(start, end - start);
    if (line_length + 1 + word.size() > kHeaderWidth && line_length > name.size() + 1) {
      out += "\r\n";
      line_length = 0;
    }
    out.push_back(' ');
    out += word;
    line_length += 1 + word.size();
    start = end + 1;
  }
  return out + "\r\n";
}

// The body in ISO-8859-15; a character that it lacks as an HTML character reference.
std::string HtmlBodyBytes(std::string_view ansi) {
  std::string out;
  for (char c : ansi) {
    const int byte = Iso885915Byte(c);
    if (byte >= 0) {
      out.push_back(static_cast<char>(byte));
    } else {
      out += "&#" + std::to_string(AnsiToCodePoint(static_cast<unsigned char>(c))) + ";";
    }
  }
  return out;
}

}  // namespace

std::vector<MailAddress> ParseAddressList(std::string_view text) {
  std::vector<MailAddress> addresses;
  for (std::string_view element : SplitAddressList(text)) {
    MailAddress address = ParseAddress(element);
    if (!address.address.empty()) addresses.push_back(std::move(address));
  }
  return addresses;
}

bool IsUsableAddress(std::string_view address) {
  for (char c : address) {
    if (c <= 0x20 || c >= 0x7F || c == '<' || c == '>') return false;
  }
  const size_t at = address.rfind('@');
  return at != std::string_view::npos && at > 0 && at + 1 < address.size();
}

bool AnsiToIso885915(std::string_view ansi, std::string& out) {
  out.clear();
  for (char c : ansi) {
    const int byte = Iso885915Byte(c);
    if (byte < 0) return false;
    out.push_back(static_cast<char>(byte));
  }
  return true;
}

std::string QuotedPrintable(std::string_view bytes) {
  std::string out;
  size_t line_length = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\n' || (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
      if (c == '\r') ++i;
      out += "\r\n";
      line_length = 0;
      continue;
    }
    // A blank at the end of a line would be lost on the way: encode it.
    const bool line_ends_next =
        i + 1 == bytes.size() || bytes[i + 1] == '\r' || bytes[i + 1] == '\n';
    const bool literal =
        (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !line_ends_next);
    const std::string token = literal ? std::string(1, static_cast<char>(c)) : Hex2(c);
    if (line_length + token.size() > kQpLineMax - 1) {
      out += "=\r\n";
      line_length = 0;
    }
    out += token;
    line_length += token.size();
  }
  return out;
}

std::string EncodeHeaderText(std::string_view ansi) {
  std::string text(ansi);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  if (IsPrintableAscii(text) && text.find("=?") == std::string::npos) return text;
  std::string latin9;
  if (AnsiToIso885915(text, latin9)) return EncodedWords(latin9, "iso-8859-15", false);
  return EncodedWords(AnsiToUtf8(text), "utf-8", true);
}

std::string FormatAddressList(const std::vector<MailAddress>& addresses) {
  std::string out;
  for (const MailAddress& a : addresses) {
    if (!out.empty()) out += ", ";
    if (a.display_name.empty()) {
      out += a.address;
    } else {
      out += FormatDisplayName(a.display_name) + " <" + a.address + ">";
    }
  }
  return out;
}

std::string FormatMailDate(const DateTime& local) {
  std::tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  fields.tm_isdst = -1;
  std::tm as_utc = fields;
  std::tm as_local = fields;
#ifdef _WIN32
  const long offset = static_cast<long>(_mkgmtime(&as_utc) - std::mktime(&as_local));
#else
  const long offset = static_cast<long>(timegm(&as_utc) - std::mktime(&as_local));
#endif
  const long minutes = (offset < 0 ? -offset : offset) / 60;

  using namespace std::chrono;
  const year_month_day date{year{local.year} / month{static_cast<unsigned>(local.month)} /
                            day{static_cast<unsigned>(local.day)}};
  const unsigned weekday_index = weekday{sys_days{date}}.c_encoding();
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                kDays[weekday_index % 7], local.day, kMonths[(local.month + 11) % 12], local.year,
                local.hour, local.minute, local.second, offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return text;
}

std::vector<std::string> MailMessage::Recipients() const {
  std::vector<std::string> all;
  for (const auto* list : {&to, &cc, &bcc}) {
    for (const MailAddress& a : *list) all.push_back(a.address);
  }
  return all;
}

std::string ComposeMessage(const MailMessage& message) {
  std::string text = FoldHeader("From", message.from);
  if (!message.to.empty()) text += FoldHeader("To", FormatAddressList(message.to));
  if (!message.cc.empty()) text += FoldHeader("Cc", FormatAddressList(message.cc));
  text += FoldHeader("Subject", EncodeHeaderText(message.subject));
  text += FoldHeader("Date", message.date);
  text += FoldHeader("Message-ID", "<" + message.message_id + ">");
  text += "MIME-Version: 1.0\r\n";
  text += FoldHeader("Content-Type", message.content_type);
  text += "Content-Transfer-Encoding: quoted-printable\r\n";
  text += "\r\n";
  text += QuotedPrintable(HtmlBodyBytes(message.body));
  text += "\r\n";
  return text;
}

}  // namespace listelo
