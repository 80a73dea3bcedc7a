#include "cli/media_list.h"

#include <algorithm>
#include <fstream>

#include "cli/exit_codes.h"
#include "cli/json_result.h"
#include "cli/messages.h"
#include "engine/text_format.h"
#include "report/units.h"

namespace kalvex::cli {

std::string MediaTable(const std::vector<MountedMedium>& media) {
  std::vector<std::vector<std::string>> rows = {
      {MediaColumnText(0), MediaColumnText(1), MediaColumnText(2), MediaColumnText(3),
       MediaColumnText(4), MediaColumnText(5)}};
  for (const MountedMedium& m : media) {
    rows.push_back({m.device, m.label.empty() ? "-" : m.label, m.file_system,
                    FormatSize(m.size_bytes), FormatSize(m.free_bytes), m.mount_point});
  }
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], CountChars(row[c]));
  }
  std::string table;
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      // The last column runs to the line's end: no trailing blanks.
      if (c + 1 < row.size()) line.append(widths[c] - CountChars(row[c]) + 2, ' ');
    }
    table += line + "\n";
  }
  return table;
}

nlohmann::ordered_json MediaJson(const std::vector<MountedMedium>& media) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const MountedMedium& m : media) {
    list.push_back({{"device", m.device},
                    {"label", m.label.empty() ? nlohmann::ordered_json(nullptr)
                                              : nlohmann::ordered_json(m.label)},
                    {"file_system", m.file_system},
                    {"size_bytes", m.size_bytes},
                    {"free_bytes", m.free_bytes},
                    {"mount_point", m.mount_point},
                    {"removable", m.removable},
                    {"usb", m.usb}});
  }
  return list;
}

int RunList(const Options& options, Console& console) {
  const std::vector<MountedMedium> media = ListMountedMedia(options.list_all);
  if (options.json_path) {
    const std::string text = DumpJson(MediaJson(media));
    if (*options.json_path == "-") {
      console.out << text << std::flush;
    } else {
      std::ofstream file(*options.json_path, std::ios::out | std::ios::trunc);
      file << text;
      if (!file) {
        PrintError(console, JsonWriteFailedText(*options.json_path));
        return kExitError;
      }
    }
    if (*options.json_path == "-") return kExitOk;
  }
  if (media.empty()) {
    console.out << NoMediaText(options.list_all) << '\n';
    return kExitOk;
  }
  console.out << MediaTable(media) << std::flush;
  return kExitOk;
}

}  // namespace kalvex::cli
