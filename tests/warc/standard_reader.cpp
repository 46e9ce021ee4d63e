#include "standard_reader.h"

#include <openssl/evp.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

namespace kestrix::test {

namespace {

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool RunReader(const std::string& args, std::string& output) {
  const std::string command = "node " + Quote(KESTRIX_READ_WARC) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string StandardReaderMissing() {
  if (system("command -v node >/dev/null 2>&1") != 0) {
    return "node is not installed: the standard archive reader runs under it "
           "(scripts/setup.sh installs it)";
  }
  return {};
}

std::vector<TReadRecord> ReadWithStandardReader(const std::string& warc, std::string& error) {
  std::string output;
  if (!RunReader(Quote(warc), output)) {
    error = output;
    return {};
  }
  std::vector<TReadRecord> records;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> parts;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) parts.push_back(field);
    if (parts.size() != 8) {
      error = "unexpected reader line: " + line;
      return {};
    }
    records.push_back({parts[0], parts[1], parts[2], parts[3], parts[4], parts[5],
                       std::stoull(parts[6]), std::stoull(parts[7])});
  }
  return records;
}

std::string StandardReaderIndex(const std::string& warc, std::string& error) {
  std::string output;
  if (!RunReader("cdxj " + Quote(warc), output)) {
    error = output;
    return {};
  }
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line;
  return sorted;
}

std::string Sha1Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha1(), nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < size; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

}  // namespace kestrix::test
