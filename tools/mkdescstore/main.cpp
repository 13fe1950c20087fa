// mkdescstore: packs the model description texts into the program's data file.
//
//   mkdescstore [--out FILE] [--check] [--raw NAME=FILE]... [DIRECTORY]
//
// Every "*.tree" file of DIRECTORY (UTF-8, named after its stream) is converted to
// Windows-1251 with CR LF line ends, compressed with zlib and stored as one stream
// of a compound file written by libgsf. --raw stores the bytes of FILE unchanged as
// stream NAME (for test files with damaged streams). --check also runs every text
// through the description parser. The file written is read back with the program's
// own reader and compared stream by stream; any difference fails the run.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "CheckDescriptionText.h"
#include "model/DescriptionStore.h"
#include "platform/CFormat.h"
#include "platform/CompoundFile.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

namespace {

struct Stream {
  std::string name;    // UTF-8, as stored
  std::string source;  // file it came from, for messages
  std::string text;    // Windows-1251 text (empty for raw streams)
  std::string stored;  // the stream's bytes
  bool raw = false;
};

void Fail(const std::string& message) { std::cerr << "mkdescstore: " << message << "\n"; }

bool ReadFile(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

size_t Utf16Length(const std::string& utf8) {
  size_t units = 0;
  for (size_t pos = 0; pos < utf8.size();) units += platform::DecodeUtf8(utf8, pos) > 0xFFFF ? 2 : 1;
  return units;
}

// Converts a UTF-8 text to Windows-1251 lines ending in CR LF. A line ends at
// CR LF, LF or CR. Refuses a byte-order mark, NUL bytes, malformed UTF-8 and
// characters without a Windows-1251 code, naming file, line and column.
bool ConvertText(const std::string& file, const std::string& utf8, std::string& out, std::string& error) {
  out.clear();
  if (utf8.size() >= 3 && utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    error = file + ": begins with a byte-order mark; save it as UTF-8 without one";
    return false;
  }
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < utf8.size()) {
    ++lineNo;
    size_t end = utf8.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = utf8.size();
    std::string_view line(utf8.data() + pos, end - pos);
    size_t column = 0;
    for (size_t i = 0; i < line.size();) {
      size_t start = i;
      ++column;
      char32_t c = platform::DecodeUtf8(line, i);
      std::string_view piece = line.substr(start, i - start);
      if (c == 0) {
        error = platform::Format("%s:%zu:%zu: NUL byte", file.c_str(), lineNo, column);
        return false;
      }
      if (!platform::IsCp1251Representable(piece)) {
        error = c == 0xFFFD && piece != "\xEF\xBF\xBD"
                    ? platform::Format("%s:%zu:%zu: malformed UTF-8", file.c_str(), lineNo, column)
                    : platform::Format("%s:%zu:%zu: character U+%04X has no Windows-1251 code", file.c_str(),
                                       lineNo, column, static_cast<unsigned>(c));
        return false;
      }
    }
    out += platform::Utf8ToCp1251(line);
    out += "\r\n";
    pos = end;
    if (pos < utf8.size() && utf8[pos] == '\r') {
      ++pos;
      if (pos < utf8.size() && utf8[pos] == '\n') ++pos;
    } else if (pos < utf8.size()) {
      ++pos;  // LF
    }
  }
  return true;
}

bool Compress(const std::string& in, std::string& out) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  out.resize(size);
  int r = compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.data()),
                    static_cast<uLong>(in.size()), Z_BEST_COMPRESSION);
  if (r != Z_OK) return false;
  out.resize(size);
  return true;
}

bool WriteCompoundFile(const std::string& path, const std::vector<Stream>& streams) {
  GError* err = nullptr;
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), &err);
  if (!sink) {
    Fail("cannot create " + path + ": " + (err ? err->message : "unknown error"));
    if (err) g_error_free(err);
    return false;
  }
  GsfOutfile* outfile = gsf_outfile_msole_new(sink);
  bool ok = outfile != nullptr;
  for (size_t i = 0; ok && i < streams.size(); ++i) {
    const Stream& s = streams[i];
    GsfOutput* child = gsf_outfile_new_child(outfile, s.name.c_str(), FALSE);
    if (!child) {
      ok = false;
      break;
    }
    if (!s.stored.empty() &&
        !gsf_output_write(child, s.stored.size(), reinterpret_cast<const guint8*>(s.stored.data())))
      ok = false;
    if (!gsf_output_close(child)) ok = false;
    g_object_unref(child);
  }
  if (outfile) {
    if (!gsf_output_close(GSF_OUTPUT(outfile))) ok = false;
    g_object_unref(outfile);
  }
  if (!gsf_output_is_closed(sink) && !gsf_output_close(sink)) ok = false;
  g_object_unref(sink);
  if (!ok) Fail("writing " + path + " failed");
  return ok;
}

// Reads the file back with the program's reader and compares every stream.
bool Verify(const std::string& path, const std::vector<Stream>& streams) {
  platform::CompoundFile file;
  if (file.OpenFile(path) != platform::CompoundFile::Result::Ok) {
    Fail(path + ": the written file cannot be read back");
    return false;
  }
  std::vector<std::string> names = file.StreamNames();
  bool ok = true;
  if (names.size() != streams.size()) {
    Fail(platform::Format("%s: %zu streams read back, %zu written", path.c_str(), names.size(), streams.size()));
    ok = false;
  }
  for (const Stream& s : streams) {
    std::vector<char> bytes;
    if (file.ReadStream(s.name, bytes) != platform::CompoundFile::Result::Ok ||
        std::string(bytes.begin(), bytes.end()) != s.stored) {
      Fail(path + ": stream " + s.name + " reads back different");
      ok = false;
      continue;
    }
    if (s.raw) continue;
    DescriptionStream source(std::move(bytes));
    std::string text;
    if (InflateStream(source, nullptr, text) != 0 || text != s.text) {
      Fail(path + ": stream " + s.name + " inflates to a different text");
      ok = false;
    }
  }
  return ok;
}

bool IsKnownStreamName(const std::string& name) {
  for (int i = 0; DescriptionStreamName(i); ++i)
    if (name == DescriptionStreamName(i)) return true;
  return false;
}

bool AddStream(std::vector<Stream>& streams, Stream s) {
  for (const Stream& other : streams) {
    if (platform::EqualsNoCase(other.name, s.name)) {
      Fail("stream " + s.name + " given twice (" + other.source + ", " + s.source + ")");
      return false;
    }
  }
  // Directory names hold at most 31 UTF-16 units; these characters are reserved.
  if (s.name.empty() || Utf16Length(s.name) > 31 || s.name.find_first_of("/\\:!") != std::string::npos) {
    Fail(s.source + ": \"" + s.name + "\" cannot be a stream name");
    return false;
  }
  streams.push_back(std::move(s));
  return true;
}

int Usage() {
  std::cerr << "usage: mkdescstore [--out FILE] [--check] [--raw NAME=FILE]... [DIRECTORY]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = "zt580.dat";
  std::string directory;
  bool check = false;
  std::vector<std::pair<std::string, std::string>> raws;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (a == "--check") {
      check = true;
    } else if (a == "--raw" && i + 1 < argc) {
      std::string pair = argv[++i];
      size_t eq = pair.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == pair.size()) return Usage();
      raws.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    } else if (!a.empty() && a[0] != '-' && directory.empty()) {
      directory = a;
    } else {
      return Usage();
    }
  }

  std::vector<Stream> streams;
  bool ok = true;
  if (!directory.empty()) {
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) {
      Fail(directory + ": no such directory");
      return 1;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(directory, ec))
      if (entry.is_regular_file() && entry.path().extension() == ".tree") files.push_back(entry.path());
    if (ec) {
      Fail(directory + ": " + ec.message());
      return 1;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& p : files) {
      Stream s;
      s.name = p.filename().string();
      s.source = p.string();
      if (!IsKnownStreamName(s.name)) {
        Fail(s.source + ": no device model has a description named " + s.name);
        ok = false;
        continue;
      }
      std::string utf8, error;
      if (!ReadFile(p, utf8)) {
        Fail(s.source + ": cannot be read");
        ok = false;
        continue;
      }
      if (!ConvertText(s.source, utf8, s.text, error)) {
        Fail(error);
        ok = false;
        continue;
      }
      if (check) {
        std::vector<std::string> messages;
        if (!CheckDescriptionText(s.name, s.text, messages)) {
          for (const std::string& m : messages) Fail(s.source + ": " + m);
          if (messages.empty()) Fail(s.source + ": the description does not parse");
          ok = false;
          continue;
        }
      }
      if (!Compress(s.text, s.stored)) {
        Fail(s.source + ": compression failed");
        ok = false;
        continue;
      }
      ok = AddStream(streams, std::move(s)) && ok;
    }
    if (files.empty()) std::cerr << "mkdescstore: no description texts in " << directory << "\n";
  } else {
    std::cerr << "mkdescstore: no description directory given; the file holds no description\n";
  }
  for (const auto& [name, file] : raws) {
    Stream s;
    s.name = name;
    s.source = file;
    s.raw = true;
    if (!ReadFile(file, s.stored)) {
      Fail(file + ": cannot be read");
      ok = false;
      continue;
    }
    ok = AddStream(streams, std::move(s)) && ok;
  }
  if (!ok) return 1;

  // Written beside the target and renamed, so that a failed run leaves no half file.
  std::string temp = out + ".tmp";
  gsf_init();
  bool written = WriteCompoundFile(temp, streams);
  gsf_shutdown();
  if (!written || !Verify(temp, streams)) {
    std::remove(temp.c_str());
    return 1;
  }
  std::error_code ec;
  fs::rename(temp, out, ec);
  if (ec) {
    Fail("cannot rename " + temp + " to " + out + ": " + ec.message());
    std::remove(temp.c_str());
    return 1;
  }
  std::cout << "mkdescstore: " << streams.size() << " streams written to " << out << "\n";
  return 0;
}
