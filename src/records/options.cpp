// Reading and writing vigilon.ini.
#include "records/options.h"

#include <array>
#include <charconv>

namespace vigilon::records {

namespace {

constexpr std::size_t kEchoLimit = 80;

enum class Key : uint8_t { LogEnabled, LogFolder, KeepDays, MetricsEnabled, MetricsFolder };

struct KnownKey {
  Key key;
  const char* section;
  const char* name;
};
constexpr std::array<KnownKey, 5> kKeys{{
    {Key::LogEnabled, "Log", "Enabled"},
    {Key::LogFolder, "Log", "Folder"},
    {Key::KeepDays, "Log", "KeepDays"},
    {Key::MetricsEnabled, "Metrics", "Enabled"},
    {Key::MetricsFolder, "Metrics", "Folder"},
}};
constexpr std::array<const char*, 2> kSections{"Log", "Metrics"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string Echo(std::string_view text) {
  if (text.size() <= kEchoLimit) return std::string(text);
  return std::string(text.substr(0, kEchoLimit)) + "...";
}

// The section a "[name]" line opens, or nothing for any other line.
bool SectionLine(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  name = Trim(line.substr(1, line.size() - 2));
  return true;
}

const KnownKey* Find(std::string_view section, std::string_view key) {
  for (const KnownKey& k : kKeys)
    if (SameName(section, k.section) && SameName(key, k.name)) return &k;
  return nullptr;
}

std::string ValueText(Key key, const RecordOptions& o) {
  switch (key) {
    case Key::LogEnabled:
      return o.logEnabled ? "1" : "0";
    case Key::LogFolder:
      return o.logFolder;
    case Key::KeepDays:
      return std::to_string(o.keepDays);
    case Key::MetricsEnabled:
      return o.metricsEnabled ? "1" : "0";
    case Key::MetricsFolder:
      return o.metricsFolder;
  }
  return {};
}

// Puts a value into the options; a message when it cannot be used.
std::string Apply(Key key, std::string_view value, RecordOptions& o) {
  switch (key) {
    case Key::LogEnabled:
    case Key::MetricsEnabled: {
      if (value != "0" && value != "1") return "is not 0 or 1; it stays off";
      (key == Key::LogEnabled ? o.logEnabled : o.metricsEnabled) = value == "1";
      return {};
    }
    case Key::LogFolder:
    case Key::MetricsFolder: {
      if (value.empty() || value.size() > 1000) return "is not a folder name; it stays the default";
      (key == Key::LogFolder ? o.logFolder : o.metricsFolder) = std::string(value);
      return {};
    }
    case Key::KeepDays: {
      int days = 0;
      const auto r = std::from_chars(value.data(), value.data() + value.size(), days);
      if (r.ec != std::errc() || r.ptr != value.data() + value.size() || days < 1 ||
          days > kKeepDaysMax)
        return "is not a number of days from 1 to " + std::to_string(kKeepDaysMax) + "; it stays " +
               std::to_string(o.keepDays);
      o.keepDays = days;
      return {};
    }
  }
  return {};
}

}  // namespace

OptionsLoad ParseOptions(std::string_view text, std::string_view fileName) {
  OptionsLoad load;
  if (text.size() > kOptionsFileLimit) {
    load.problems.push_back(std::string(fileName) +
                            " is larger than 64 KiB and was not read: logging and export stay off");
    return load;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
  std::string_view section;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    load.lines.emplace_back(raw);
    const std::string_view line = Trim(raw);
    std::string_view name;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    const std::string where = std::string(fileName) + ", line " + std::to_string(number) + ": ";
    if (SectionLine(line, name)) {
      section = name;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      load.problems.push_back(where + "\"" + Echo(line) +
                              "\" is neither a [section] nor a key=value line");
      continue;
    }
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    const KnownKey* known = Find(section, key);
    if (known == nullptr) continue;  // someone else's key: kept as it stands
    const std::string problem = Apply(known->key, value, load.options);
    if (!problem.empty()) {
      load.problems.push_back(where + Echo(key) + "=" + Echo(value) + " in [" + known->section +
                              "] " + problem);
    }
  }
  return load;
}

std::string WriteOptions(const std::vector<std::string>& lines, const RecordOptions& options) {
  std::string out;
  std::array<bool, kKeys.size()> written{};
  std::array<bool, kSections.size()> seen{};
  std::string_view section;
  const auto endSection = [&](std::string_view ending) {
    for (const KnownKey& k : kKeys) {
      if (!SameName(ending, k.section) || written[static_cast<std::size_t>(k.key)]) continue;
      out.append(k.name).append("=").append(ValueText(k.key, options)).append("\r\n");
      written[static_cast<std::size_t>(k.key)] = true;
    }
  };
  for (const std::string& raw : lines) {
    std::string_view name;
    if (SectionLine(raw, name)) {
      endSection(section);
      section = name;
      for (std::size_t s = 0; s < kSections.size(); ++s)
        if (SameName(name, kSections[s])) seen[s] = true;
      out.append(raw).append("\r\n");
      continue;
    }
    const std::size_t eq = raw.find('=');
    const KnownKey* known = eq == std::string::npos
                                ? nullptr
                                : Find(section, Trim(std::string_view(raw).substr(0, eq)));
    if (known == nullptr || written[static_cast<std::size_t>(known->key)]) {
      out.append(raw).append("\r\n");
      continue;
    }
    out.append(raw, 0, eq + 1).append(ValueText(known->key, options)).append("\r\n");
    written[static_cast<std::size_t>(known->key)] = true;
  }
  endSection(section);
  for (std::size_t s = 0; s < kSections.size(); ++s) {
    if (seen[s]) continue;
    out.append("[").append(kSections[s]).append("]\r\n");
    endSection(kSections[s]);
  }
  return out;
}

std::string ResolveFolder(const std::string& programFolder, char separator,
                          const std::string& folder) {
  const bool absolute = (!folder.empty() && (folder[0] == '\\' || folder[0] == '/')) ||
                        (folder.size() >= 2 && folder[1] == ':');
  return absolute ? folder : programFolder + separator + folder;
}

}  // namespace vigilon::records
