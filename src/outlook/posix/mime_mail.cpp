#include "outlook/posix/mime_mail.h"

#include <fcntl.h>
#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "outlook/posix/base64_decoder.h"
#include "outlook/posix/gobject_ptr.h"
#include "support/date_time.h"
#include "support/posix/unique_fd.h"

namespace trovex::store {
namespace {

// GMime decodes to UTF-8 but hands some raw bytes through (addresses,
// broken encoded words); the object model promises valid UTF-8.
std::string Utf8(const char* text) {
  if (!text) return {};
  if (g_utf8_validate(text, -1, nullptr)) return text;
  const GCharPtr valid(g_utf8_make_valid(text, -1));
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
gint64 ReceivedUnixTime(GMimeMessage* message, std::time_t fileTime) {
  GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
  if (GMimeHeader* received = g_mime_header_list_get_header(headers, "Received")) {
    const char* raw = g_mime_header_get_value(received);
    const std::string_view value = raw ? raw : "";
    if (const size_t semicolon = value.rfind(';'); semicolon != std::string_view::npos) {
      if (const auto t = ParseHeaderDate(std::string(value.substr(semicolon + 1)).c_str())) return *t;
    }
  }
  if (GDateTime* date = g_mime_message_get_date(message)) return g_date_time_to_unix(date);
  return fileTime;
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
  GMimeHeader* header = g_mime_header_list_get_header(g_mime_object_get_header_list(GMIME_OBJECT(message)), name);
  const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
  if (!raw) return std::nullopt;
  const GObjectPtr<InternetAddressList> list(
      internet_address_list_parse(MailParserOptions(), EscapeRawBytesInEncodedWords(raw).c_str()));
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

[[noreturn]] void ThrowWriteError(int error, const std::filesystem::path& file) {
  throw std::system_error(error ? error : EIO, std::generic_category(), file.string());
}

UniqueFd CreateTarget(const std::filesystem::path& file) {
  UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd) ThrowWriteError(errno, file);
  return fd;
}

// Creates or truncates `file` and hands a stream on it to `write`, which
// returns -1 on failure with errno set.
template <typename Write>
void WriteFile(const std::filesystem::path& file, Write write) {
  const GObjectPtr<GMimeStream> stream(g_mime_stream_fs_new(CreateTarget(file).Release()));
  errno = 0;
  // No flush: GMime's flush of a file stream is an fsync, and the fs stream
  // does not buffer.
  bool ok = write(stream.get()) >= 0;
  int error = errno;
  if (g_mime_stream_close(stream.get()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) ThrowWriteError(error, file);
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

// A leaf MIME part, decoded (base64, quoted-printable, uuencode) on writing.
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
    UniqueFd fd = CreateTarget(file);
    if (!DecodeBase64To(content, fd.Get())) ThrowWriteError(errno, file);
    if (fd.Close() != 0) ThrowWriteError(errno, file);
  }

 private:
  GMimeDataWrapper* Base64Content() const {
    GMimeDataWrapper* content = g_mime_part_get_content(part_);
    return content && g_mime_data_wrapper_get_encoding(content) == GMIME_CONTENT_ENCODING_BASE64 ? content : nullptr;
  }

  // Decodes in large steps and writes in few calls, most attachments in
  // one: GMime's filter chain would make a read, seek and write per 4 KB.
  // The buffers are reused across attachments, so no fresh pages fault in
  // for each file, and stay small whatever the attachment's size.
  static bool DecodeBase64To(GMimeDataWrapper* content, int fd) {
    constexpr size_t kReadChunk = 256 * 1024;
    constexpr size_t kWriteChunk = 8 * 1024 * 1024;
    thread_local std::string out(kWriteChunk + Base64DecodeRoom(kReadChunk), '\0');
    int state = 0;
    std::uint32_t save = 0;
    size_t used = 0;
    const auto decode = [&](const char* in, size_t length) {
      used += DecodeBase64Step(reinterpret_cast<const unsigned char*>(in), length,
                               reinterpret_cast<unsigned char*>(out.data() + used), &state, &save);
      return used < kWriteChunk || (WriteAll(fd, out.data(), std::exchange(used, 0)));
    };
    GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
    if (GMIME_IS_STREAM_MEM(raw)) {
      // A mail read whole: the part's bytes are decoded where they lie.
      const GByteArray* bytes = GMIME_STREAM_MEM(raw)->buffer;
      const auto end =
          static_cast<size_t>(raw->bound_end < 0 ? bytes->len : std::min<gint64>(raw->bound_end, bytes->len));
      for (auto at = static_cast<size_t>(std::max<gint64>(raw->bound_start, 0)); at < end; at += kReadChunk)
        if (!decode(reinterpret_cast<const char*>(bytes->data) + at, std::min(kReadChunk, end - at))) return false;
      return WriteAll(fd, out.data(), used);
    }
    thread_local std::string in(kReadChunk, '\0');
    g_mime_stream_reset(raw);
    const gint64 length = g_mime_stream_length(raw);
    gint64 got = 0;
    ssize_t n;
    while ((n = g_mime_stream_read(raw, in.data(), kReadChunk)) > 0) {
      got += n;
      if (!decode(in.data(), static_cast<size_t>(n))) return false;
    }
    // A part's stream reads -1 at the end of its bounds. Short of them, the
    // read failed or the mail file was cut short since it was parsed: no
    // short attachment then.
    if (length >= 0 ? got < length : n < 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    return WriteAll(fd, out.data(), used);
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
      g_mime_format_options_set_newline_format(format, crlf_ ? GMIME_NEWLINE_FORMAT_DOS : GMIME_NEWLINE_FORMAT_UNIX);
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
  const GObjectPtr<GMimeMessage> nested(g_mime_parser_construct_message(parser.get(), MailParserOptions()));
  return NestedFileName(nested.get());
}

// The body is what Outlook shows as the mail's text: a text/plain or
// text/html leaf that is neither marked "attachment" nor named. Every other
// leaf (inline images included) is an attachment.
bool IsBody(GMimeObject* leaf) {
  GMimeContentType* type = g_mime_object_get_content_type(leaf);
  const bool text =
      type && (g_mime_content_type_is_type(type, "text", "plain") || g_mime_content_type_is_type(type, "text", "html"));
  return text && !EqualsNoCase(g_mime_object_get_disposition(leaf), "attachment") && OwnFileName(leaf).empty();
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
                       : fmt::format("ATT{:05}{}", ++unnamed_, ExtensionFor(g_mime_object_get_content_type(object)));
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

}  // namespace

GMimeParserOptions* MailParserOptions() {
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

std::shared_ptr<const StoreMail> ParseMail(GMimeStream* stream, bool crlf, std::time_t fileTime) {
  const GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  // Not a mail unless GMime builds a message with at least one header field:
  // empty, binary and plain-text files stay items that are not e-mails.
  const MessageOwner message = ShareGObject(g_mime_parser_construct_message(parser.get(), MailParserOptions()));
  if (!message || !HasAnyHeader(message.get())) return nullptr;

  auto mail = std::make_shared<StoreMail>();
  mail->subject = Utf8(g_mime_message_get_subject(message.get()));
  auto sender = FirstMailbox(message.get(), "From");
  if (!sender) sender = FirstMailbox(message.get(), "Sender");
  if (sender) {
    mail->senderName = sender->DisplayName();
    mail->senderEmailAddress = sender->address;
  }
  if (const auto to = FirstMailbox(message.get(), "To")) mail->receivedByName = to->DisplayName();
  mail->receivedTime = LocalOleDate(ReceivedUnixTime(message.get(), fileTime));
  AttachmentCollector(message, crlf, mail->attachments).Walk(g_mime_message_get_mime_part(message.get()));
  return mail;
}

}  // namespace trovex::store
