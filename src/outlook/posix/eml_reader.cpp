// MailFileReader over GMime: turns one RFC 5322 / MIME file into a StoreMail.
// The file is read into memory once; each attachment keeps the parsed
// message (and so those bytes) alive and decodes when it is saved.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <fmt/format.h>
#include <gmime/gmime.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "outlook/mail_store_loader.h"
#include "support/date_time.h"

namespace trovex::store {
namespace {

using outlook::OutlookError;

template <typename T>
struct GObjectUnref {
  void operator()(T* object) const noexcept {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref<T>>;

struct GFree {
  void operator()(void* p) const noexcept { g_free(p); }
};

GMimeParserOptions* ParserOptions() {
  static GMimeParserOptions* const options = [] {
    g_mime_init();
    GMimeParserOptions* o = g_mime_parser_options_new();
    // Raw 8-bit header text that is not UTF-8 is Windows-1252 in most
    // European mail; ISO-8859-1 maps every byte, so decoding never fails.
    const char* charsets[] = {"utf-8", "windows-1252", "iso-8859-1", nullptr};
    g_mime_parser_options_set_fallback_charsets(o, charsets);
    g_mime_parser_options_set_rfc2047_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_parameter_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_address_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
    return o;
  }();
  return options;
}

// GMime decodes to UTF-8 but hands some raw bytes through (addresses,
// broken encoded words); the object model promises valid UTF-8.
std::string Utf8(const char* text) {
  if (!text) return {};
  if (g_utf8_validate(text, -1, nullptr)) return text;
  const std::unique_ptr<char, GFree> valid(g_utf8_make_valid(text, -1));
  return valid.get();
}

bool EqualsNoCase(const char* a, std::string_view b) {
  return a && g_ascii_strncasecmp(a, b.data(), b.size()) == 0 && a[b.size()] == '\0';
}

outlook::OleDate LocalOleDate(gint64 unixSeconds) {
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  const long offset = localtime_r(&t, &local) ? local.tm_gmtoff : 0;
  return OleDateFromUnixSeconds(static_cast<double>(unixSeconds + offset));
}

std::optional<gint64> ParseHeaderDate(const char* text) {
  if (!text) return std::nullopt;
  GDateTime* date = g_mime_utils_header_decode_date(text);
  if (!date) return std::nullopt;
  const gint64 unixSeconds = g_date_time_to_unix(date);
  g_date_time_unref(date);
  return unixSeconds;
}

// Outlook's received time is when the mail reached the mailbox: the newest
// (topmost) Received: stamp, else the sender's Date:, else the file's time.
gint64 ReceivedUnixTime(GMimeMessage* message, const struct stat& file) {
  GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
  if (GMimeHeader* received = g_mime_header_list_get_header(headers, "Received")) {
    const char* raw = g_mime_header_get_value(received);
    const std::string_view value = raw ? raw : "";
    if (const size_t semicolon = value.rfind(';'); semicolon != std::string_view::npos) {
      if (const auto t = ParseHeaderDate(std::string(value.substr(semicolon + 1)).c_str())) return *t;
    }
  }
  if (GDateTime* date = g_mime_message_get_date(message)) return g_date_time_to_unix(date);
  return file.st_mtim.tv_sec;
}

struct Mailbox {
  std::string name;
  std::string address;
  std::string DisplayName() const { return name.empty() ? address : name; }
};

// The first mailbox of a list, looking into groups ("Team: a@x, b@y;").
std::optional<Mailbox> FirstMailbox(InternetAddressList* list) {
  const int count = list ? internet_address_list_length(list) : 0;
  for (int i = 0; i < count; ++i) {
    InternetAddress* address = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
      return Mailbox{Utf8(internet_address_get_name(address)),
                     Utf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))};
    }
    if (INTERNET_ADDRESS_IS_GROUP(address)) {
      if (auto member = FirstMailbox(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address))))
        return member;
    }
  }
  return std::nullopt;
}

// Old mailers put raw 8-bit bytes into Q-encoded words ("=?iso-8859-1?Q?J\xfcrgen?=").
// GMime's address parser turns the raw bytes to UTF-8 before it decodes the
// word in its declared charset, which garbles them; escaped as "=FC" they
// decode right.
std::string EscapeRawBytesInEncodedWords(std::string_view raw) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t start = raw.find("=?", pos);
    if (start == std::string_view::npos) break;
    const size_t charsetEnd = raw.find('?', start + 2);
    if (charsetEnd == std::string_view::npos || charsetEnd + 2 >= raw.size() || raw[charsetEnd + 2] != '?' ||
        (raw[charsetEnd + 1] != 'Q' && raw[charsetEnd + 1] != 'q')) {
      out.append(raw.substr(pos, start + 2 - pos));
      pos = start + 2;
      continue;
    }
    const size_t text = charsetEnd + 3;
    const size_t end = raw.find("?=", text);
    if (end == std::string_view::npos) break;
    out.append(raw.substr(pos, text - pos));
    for (const char c : raw.substr(text, end - text)) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x80) {
        out += c;
      } else {
        out += fmt::format("={:02X}", byte);
      }
    }
    out += "?=";
    pos = end + 2;
  }
  out.append(raw.substr(pos));
  return out;
}

// The first mailbox of the first header field `name` of the message.
std::optional<Mailbox> FirstMailbox(GMimeMessage* message, const char* name) {
  GMimeHeader* header =
      g_mime_header_list_get_header(g_mime_object_get_header_list(GMIME_OBJECT(message)), name);
  const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
  if (!raw) return std::nullopt;
  const GObjectPtr<InternetAddressList> list(
      internet_address_list_parse(ParserOptions(), EscapeRawBytesInEncodedWords(raw).c_str()));
  return FirstMailbox(list.get());
}

int HeaderCount(GMimeObject* object) {
  return object ? g_mime_header_list_get_count(g_mime_object_get_header_list(object)) : 0;
}

// GMime files Content-* fields under the top MIME part, the rest under the
// message; a file with neither is not a mail.
bool HasAnyHeader(GMimeMessage* message) {
  return HeaderCount(GMIME_OBJECT(message)) + HeaderCount(g_mime_message_get_mime_part(message)) > 0;
}

// Keeps the parsed message, and with it the open file its parts decode from.
using MessageOwner = std::shared_ptr<GMimeMessage>;

// Creates or truncates `file` and hands a stream on it to `write`, which
// returns -1 on failure with errno set.
template <typename Write>
void WriteFile(const std::filesystem::path& file, Write write) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), file.string());
  const GObjectPtr<GMimeStream> stream(g_mime_stream_fs_new(fd));
  errno = 0;
  // No flush: GMime's flush of a file stream is an fsync, and the fs stream
  // does not buffer.
  bool ok = write(stream.get()) >= 0;
  int error = errno;
  if (g_mime_stream_close(stream.get()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) throw std::system_error(error ? error : EIO, std::generic_category(), file.string());
}

// Writes all of `data` to `fd`; false with errno set on failure.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Base64 as GMime decodes it, several times faster: whole groups of four
// alphabet characters and the line ends between groups are handled here,
// everything else (padding, stray bytes, groups split across lines) by
// GMime with the same state, so the output is GMime's.
//
// Each table holds a character's six bits already at their place in the
// three output bytes (first byte lowest); a character outside the alphabet
// sets the top bit.
struct Base64Tables {
  std::array<std::array<std::uint32_t, 256>, 4> bits;
};

const Base64Tables& Base64Decoding() {
  static const Base64Tables tables = [] {
    Base64Tables t{};
    for (auto& table : t.bits) table.fill(0x80000000u);
    constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::uint32_t rank = 0; rank < 64; ++rank) {
      const auto c = static_cast<unsigned char>(kAlphabet[rank]);
      for (int position = 0; position < 4; ++position) {
        const std::uint32_t v = rank << (18 - 6 * position);
        t.bits[position][c] = (v >> 16 & 0xff) | (v >> 8 & 0xff) << 8 | (v & 0xff) << 16;
      }
    }
    return t;
  }();
  return tables;
}

// `out` needs room for length / 4 * 3 + 3 bytes and 2 more.
size_t DecodeBase64Step(const unsigned char* in, size_t length, unsigned char* out, int* state, guint32* save) {
  const auto& t = Base64Decoding().bits;
  const auto group = [&t](const unsigned char* p) { return t[0][p[0]] | t[1][p[1]] | t[2][p[2]] | t[3][p[3]]; };
  const unsigned char* const end = in + length;
  unsigned char* o = out;
  while (in < end) {
    if (*state == 0) {
      while (end - in >= 8) {
        const std::uint32_t x = group(in), y = group(in + 4);
        if ((x | y) & 0x80000000u) break;
        const std::uint64_t both = x | static_cast<std::uint64_t>(y) << 24;
        std::memcpy(o, &both, 8);  // six bytes meant, two of slack
        o += 6;
        in += 8;
      }
      if (end - in >= 4) {
        if (const std::uint32_t x = group(in); !(x & 0x80000000u)) {
          o[0] = static_cast<unsigned char>(x);
          o[1] = static_cast<unsigned char>(x >> 8);
          o[2] = static_cast<unsigned char>(x >> 16);
          o += 3;
          in += 4;
          continue;
        }
      }
      if (in < end && (*in == '\n' || *in == '\r')) {  // GMime skips them too
        ++in;
        continue;
      }
    }
    if (in == end) break;
    // To the end of the line: padding stays with the group it ends.
    const unsigned char* lineEnd = static_cast<const unsigned char*>(std::memchr(in, '\n', static_cast<size_t>(end - in)));
    lineEnd = lineEnd ? lineEnd + 1 : end;
    o += g_mime_encoding_base64_decode_step(in, static_cast<size_t>(lineEnd - in), o, state, save);
    in = lineEnd;
  }
  return static_cast<size_t>(o - out);
}

// A leaf MIME part, decoded (base64, quoted-printable, uuencode) on writing.
// Decoded in large steps into one buffer and written with one call: GMime's
// filter chain would make a read, seek and write per 4 KB.
class PartContent final : public AttachmentContent {
 public:
  PartContent(MessageOwner owner, GMimePart* part) : owner_(std::move(owner)), part_(part) {}

  void WriteTo(const std::filesystem::path& file) const override {
    GMimeDataWrapper* content = Base64Content();
    if (!content) {
      // Rare for attachments; GMime's filters know uuencode's begin line.
      WriteFile(file, [this](GMimeStream* out) -> ssize_t {
        GMimeDataWrapper* any = g_mime_part_get_content(part_);
        return any ? g_mime_data_wrapper_write_to_stream(any, out) : 0;
      });
      return;
    }
    std::string& decoded = Buffer();
    decoded.clear();
    DecodeBase64(content, decoded);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), file.string());
    bool ok = WriteAll(fd, decoded.data(), decoded.size());
    int error = errno;
    if (::close(fd) != 0 && ok) {
      ok = false;
      error = errno;
    }
    if (!ok) throw std::system_error(error ? error : EIO, std::generic_category(), file.string());
  }

 private:
  GMimeDataWrapper* Base64Content() const {
    GMimeDataWrapper* content = g_mime_part_get_content(part_);
    return content && g_mime_data_wrapper_get_encoding(content) == GMIME_CONTENT_ENCODING_BASE64 ? content : nullptr;
  }

  // Reused across attachments: no fresh pages to fault in for each file.
  static std::string& Buffer() {
    thread_local std::string buffer;
    return buffer;
  }

  static void DecodeBase64(GMimeDataWrapper* content, std::string& out) {
    GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
    g_mime_stream_reset(raw);
    constexpr size_t kChunk = 256 * 1024;
    thread_local std::string in(kChunk, '\0');
    int state = 0;
    guint32 save = 0;
    for (;;) {
      const ssize_t n = g_mime_stream_read(raw, in.data(), kChunk);
      if (n <= 0) break;
      const size_t at = out.size();
      out.resize(at + static_cast<size_t>(n) / 4 * 3 + 3 + 2);
      out.resize(at + DecodeBase64Step(reinterpret_cast<const unsigned char*>(in.data()), static_cast<size_t>(n),
                                       reinterpret_cast<unsigned char*>(out.data() + at), &state, &save));
    }
  }

  MessageOwner owner_;
  GMimePart* part_;
};

// A message/rfc822 part: the nested message written out whole, with the
// line endings of the file it came from.
class NestedMessageContent final : public AttachmentContent {
 public:
  NestedMessageContent(MessageOwner owner, GMimeMessage* nested, bool crlf)
      : owner_(std::move(owner)), nested_(nested), crlf_(crlf) {}

  void WriteTo(const std::filesystem::path& file) const override {
    WriteFile(file, [this](GMimeStream* out) -> ssize_t {
      if (!nested_) return 0;
      GMimeFormatOptions* format = g_mime_format_options_new();
      g_mime_format_options_set_newline_format(format,
                                               crlf_ ? GMIME_NEWLINE_FORMAT_DOS : GMIME_NEWLINE_FORMAT_UNIX);
      const ssize_t written = g_mime_object_write_to_stream(GMIME_OBJECT(nested_), format, out);
      const int error = errno;
      g_mime_format_options_free(format);
      errno = error;
      return written;
    });
  }

 private:
  MessageOwner owner_;
  GMimeMessage* nested_;
  bool crlf_;
};

std::string ExtensionFor(GMimeContentType* type) {
  static constexpr std::pair<std::string_view, std::string_view> kKnown[] = {
      {"image/png", ".png"},       {"image/jpeg", ".jpg"}, {"image/gif", ".gif"},
      {"text/plain", ".txt"},      {"text/html", ".htm"},  {"text/calendar", ".ics"},
      {"application/pdf", ".pdf"}, {"text/vcard", ".vcf"}, {"text/x-vcard", ".vcf"},
  };
  if (type) {
    for (const auto& [mime, extension] : kKnown) {
      const size_t slash = mime.find('/');
      if (g_mime_content_type_is_type(type, std::string(mime.substr(0, slash)).c_str(),
                                      std::string(mime.substr(slash + 1)).c_str()))
        return std::string(extension);
    }
  }
  return ".bin";
}

bool IsMessageType(GMimeContentType* type) {
  return type && (g_mime_content_type_is_type(type, "message", "rfc822") ||
                  g_mime_content_type_is_type(type, "message", "global"));
}

// The name the part gives itself (RFC 2231 and RFC 2047 decoded), "" if none.
std::string OwnFileName(GMimeObject* object) {
  const char* name = GMIME_IS_PART(object) ? g_mime_part_get_filename(GMIME_PART(object)) : nullptr;
  if (!name || !*name) name = g_mime_object_get_content_disposition_parameter(object, "filename");
  if (!name || !*name) name = g_mime_object_get_content_type_parameter(object, "name");
  return Utf8(name);
}

std::string NestedFileName(GMimeMessage* nested) {
  const std::string subject = nested ? Utf8(g_mime_message_get_subject(nested)) : std::string();
  return (subject.empty() ? std::string("Nachricht") : subject) + ".eml";
}

// A message/rfc822 part GMime left undecoded (base64 or quoted-printable
// transfer encoding): the subject comes from parsing the decoded bytes.
std::string EncodedNestedFileName(GMimePart* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (!content) return NestedFileName(nullptr);
  const GObjectPtr<GMimeStream> decoded(g_mime_stream_mem_new());
  g_mime_data_wrapper_write_to_stream(content, decoded.get());
  g_mime_stream_reset(decoded.get());
  const GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(decoded.get()));
  const GObjectPtr<GMimeMessage> nested(g_mime_parser_construct_message(parser.get(), ParserOptions()));
  return NestedFileName(nested.get());
}

// The body is what Outlook shows as the mail's text: a text/plain or
// text/html leaf that is neither marked "attachment" nor named. Every other
// leaf (inline images included) is an attachment.
bool IsBody(GMimeObject* leaf) {
  GMimeContentType* type = g_mime_object_get_content_type(leaf);
  const bool text = type && (g_mime_content_type_is_type(type, "text", "plain") ||
                             g_mime_content_type_is_type(type, "text", "html"));
  return text && !EqualsNoCase(g_mime_object_get_disposition(leaf), "attachment") &&
         OwnFileName(leaf).empty();
}

class AttachmentCollector {
 public:
  AttachmentCollector(MessageOwner owner, bool crlf, std::vector<StoreAttachment>& out)
      : owner_(std::move(owner)), crlf_(crlf), out_(out) {}

  // Nested messages are one attachment each; their own parts belong to them.
  void Walk(GMimeObject* object) {
    if (!object) return;
    if (GMIME_IS_MULTIPART(object)) {
      GMimeMultipart* multipart = GMIME_MULTIPART(object);
      const int count = g_mime_multipart_get_count(multipart);
      for (int i = 0; i < count; ++i) Walk(g_mime_multipart_get_part(multipart, i));
    } else if (GMIME_IS_MESSAGE_PART(object)) {
      GMimeMessage* nested = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
      std::string name = OwnFileName(object);
      if (name.empty()) name = NestedFileName(nested);
      Add(object, std::move(name), outlook::ATTACH_EMBEDDED_MSG,
          std::make_shared<NestedMessageContent>(owner_, nested, crlf_));
    } else if (GMIME_IS_PART(object) && !IsBody(object)) {
      GMimePart* part = GMIME_PART(object);
      const bool message = IsMessageType(g_mime_object_get_content_type(object));
      std::string name = OwnFileName(object);
      if (name.empty()) {
        name = message ? EncodedNestedFileName(part)
                       : fmt::format("ATT{:05}{}", ++unnamed_,
                                     ExtensionFor(g_mime_object_get_content_type(object)));
      }
      Add(object, std::move(name), message ? outlook::ATTACH_EMBEDDED_MSG : outlook::ATTACH_BY_VALUE,
          std::make_shared<PartContent>(owner_, part));
    }
  }

 private:
  void Add(GMimeObject* object, std::string name, std::int32_t method,
           std::shared_ptr<const AttachmentContent> content) {
    StoreAttachment attachment{.fileName = std::move(name), .content = std::move(content)};
    attachment.properties[outlook::PR_ATTACH_METHOD] = method;
    if (const std::string id = Utf8(g_mime_object_get_content_id(object)); !id.empty()) {
      attachment.properties[outlook::PR_ATTACH_CONTENT_ID_A] = id;
      attachment.properties[outlook::PR_ATTACH_CONTENT_ID_W] = id;
    }
    out_.push_back(std::move(attachment));
  }

  MessageOwner owner_;
  bool crlf_;
  std::vector<StoreAttachment>& out_;
  int unnamed_ = 0;
};

[[noreturn]] void ThrowUnreadable(const std::filesystem::path& file, const char* reason) {
  throw OutlookError(fmt::format("Die Datei \"{}\" kann nicht gelesen werden: {}", file.string(), reason));
}

// Whether the file's first line ends in CRLF; nested messages are written
// out the same way.
bool UsesCrlf(std::string_view text) {
  const size_t newline = text.find('\n');
  return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r';
}

std::shared_ptr<const StoreMail> ParseMailFile(const std::filesystem::path& file) {
  GMimeParserOptions* options = ParserOptions();
  // O_NONBLOCK: a FIFO put in place of a mail must not stall the run.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) ThrowUnreadable(file, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : errno ? errno : EINVAL;
    ::close(fd);
    ThrowUnreadable(file, std::strerror(error));
  }
  // One read into memory: GMime would seek and read every 4 KB, and read
  // each attachment a second time on decoding. Memory holds one mail.
  GByteArray* bytes = g_byte_array_sized_new(static_cast<guint>(info.st_size) + 1);
  g_byte_array_set_size(bytes, static_cast<guint>(info.st_size) + 1);  // +1: sees EOF without a second call
  size_t length = 0;
  for (;;) {
    if (length == bytes->len) g_byte_array_set_size(bytes, bytes->len * 2);  // the file grew since fstat
    const ssize_t n = ::read(fd, bytes->data + length, bytes->len - length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      g_byte_array_unref(bytes);
      ::close(fd);
      ThrowUnreadable(file, std::strerror(error));
    }
    if (n == 0) break;
    length += static_cast<size_t>(n);
  }
  g_byte_array_set_size(bytes, static_cast<guint>(length));
  ::close(fd);
  const bool crlf = UsesCrlf(std::string_view(reinterpret_cast<const char*>(bytes->data), std::min<size_t>(bytes->len, 1024)));

  // Parts refer to the bytes by offset, so memory holds the mail once.
  const GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(bytes));
  const GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  GMimeMessage* parsed = g_mime_parser_construct_message(parser.get(), options);
  // Not a mail unless GMime builds a message with at least one header field:
  // empty, binary and plain-text files stay items that are not e-mails.
  if (!parsed) return nullptr;
  const MessageOwner message(parsed, GObjectUnref<GMimeMessage>());
  if (!HasAnyHeader(message.get())) return nullptr;

  auto mail = std::make_shared<StoreMail>();
  mail->subject = Utf8(g_mime_message_get_subject(message.get()));
  auto sender = FirstMailbox(message.get(), "From");
  if (!sender) sender = FirstMailbox(message.get(), "Sender");
  if (sender) {
    mail->senderName = sender->DisplayName();
    mail->senderEmailAddress = sender->address;
  }
  if (const auto to = FirstMailbox(message.get(), "To")) mail->receivedByName = to->DisplayName();
  mail->receivedTime = LocalOleDate(ReceivedUnixTime(message.get(), info));
  AttachmentCollector(message, crlf, mail->attachments).Walk(g_mime_message_get_mime_part(message.get()));
  return mail;
}

// Parses the mails the export will ask for next on a thread of its own,
// while the export decodes and saves the current mail's attachments: the
// two halves cost about the same, so they overlap.
// Which mails come next is a guess from the store's order; a wrong guess
// costs only the work done ahead.
class EmlFileReader final : public MailFileReader {
 public:
  explicit EmlFileReader(std::vector<std::filesystem::path> order) : order_(std::move(order)) {
    for (size_t i = 0; i < order_.size(); ++i) position_.emplace(order_[i].native(), i);
    if (order_.size() > 1) worker_ = std::thread([this] { WorkAhead(); });
  }

  ~EmlFileReader() override {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
  }

  std::shared_ptr<const StoreMail> Read(const std::filesystem::path& file) override {
    std::unique_lock lock(mutex_);
    for (auto it = recent_.begin(); it != recent_.end(); ++it) {
      if (it->first == file) {
        std::rotate(recent_.begin(), it, it + 1);
        return recent_.front().second;
      }
    }
    if (const auto at = position_.find(file.native()); at != position_.end()) {
      const size_t index = at->second;
      MoveWindow(index);
      done_.wait(lock, [&] { return busy_ != index; });
      if (const auto ready = ahead_.find(index); ready != ahead_.end()) {
        Parsed parsed = std::move(ready->second);
        ahead_.erase(ready);
        // A failure is not remembered: asked again, the file is read again.
        if (parsed.error) std::rethrow_exception(parsed.error);
        Remember(file, parsed.mail);
        return parsed.mail;
      }
    }
    lock.unlock();
    auto mail = ParseMailFile(file);
    lock.lock();
    Remember(file, mail);
    return mail;
  }

 private:
  struct Parsed {
    std::shared_ptr<const StoreMail> mail;
    std::exception_ptr error;
  };

  // Work ahead of `index`: keep what lies within reach, forget the rest.
  void MoveWindow(size_t index) {
    first_ = index;
    std::erase_if(ahead_, [&](const auto& entry) { return entry.first < index || entry.first > index + kAhead; });
    if (next_ <= index || next_ > index + kAhead + 1) next_ = index + 1;
    wake_.notify_one();
  }

  void WorkAhead() {
    // Signals such as Ctrl-C are the export's to handle, not this thread's.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || (next_ <= first_ + kAhead && next_ < order_.size()); });
      if (stop_) return;
      const size_t index = next_++;
      busy_ = index;
      const std::filesystem::path file = order_[index];
      lock.unlock();
      Parsed parsed;
      try {
        parsed.mail = ParseMailFile(file);
      } catch (...) {
        parsed.error = std::current_exception();
      }
      lock.lock();
      busy_ = kNone;
      if (index >= first_ && index <= first_ + kAhead) ahead_[index] = std::move(parsed);
      done_.notify_all();
    }
  }

  void Remember(const std::filesystem::path& file, std::shared_ptr<const StoreMail> mail) {
    if (recent_.size() == kRecent) recent_.pop_back();
    recent_.insert(recent_.begin(), {file, std::move(mail)});
  }

  // The export fetches a mail several times in a row (count, report line,
  // attachments) but never returns to it later; a handful covers that while
  // memory stays bounded by the few largest mails.
  static constexpr size_t kRecent = 4;
  // Mails parsed ahead; they hold their files' bytes, not decoded ones.
  static constexpr size_t kAhead = 3;
  static constexpr size_t kNone = static_cast<size_t>(-1);

  const std::vector<std::filesystem::path> order_;
  std::unordered_map<std::string, size_t> position_;

  std::mutex mutex_;
  std::condition_variable wake_;  // the worker: more to do, or stop
  std::condition_variable done_;  // readers: the worker finished a mail
  // Most recent first; a file that holds no mail is remembered as nullptr.
  std::vector<std::pair<std::filesystem::path, std::shared_ptr<const StoreMail>>> recent_;
  std::map<size_t, Parsed> ahead_;
  size_t first_ = 0;  // the last index asked for; the worker stays within kAhead after it
  size_t next_ = 1;   // what the worker parses next
  size_t busy_ = kNone;
  bool stop_ = false;
  std::thread worker_;  // last: starts once everything above is set up
};

}  // namespace

std::shared_ptr<MailFileReader> MakeEmlFileReader(std::vector<std::filesystem::path> order) {
  return std::make_shared<EmlFileReader>(std::move(order));
}

}  // namespace trovex::store
