#include "ui/start_decision.h"

#include <cctype>

#include "engine/messages.h"
#include "engine/text_format.h"

namespace kalvex {

namespace {

constexpr size_t kSizeFieldChars = 19;  // the dialog reads into 20 characters
constexpr size_t kWarningChars = 499;

constexpr TextPair kExistingFiles = {"Can't write because of existing files.",
                                     "Schreiben nicht möglich, weil Dateien existieren."};
constexpr TextPair kIrregularFiles = {
    "Verify not possible because one or more test files have incorrect size",
    "Prüfen nicht möglich, weil Testdatei(en) falsche Länge(n) hat/haben."};
constexpr TextPair kZeroSize = {"Data volume must not be zero!", "Datenmenge darf nicht 0 sein!"};
constexpr TextPair kNotEnoughSpace = {
    "Not enough space available!",
    "Nicht genügend Speicherplatz für die angeforderte Datenmenge!"};
// Size, capacity.
constexpr TextPair kCapacityWarning = {
    "Attention: Testing only %llu MByte while the total capacity is %llu MByte. Therefore the "
    "test will possibly not find all errors. For best results please format the media before "
    "testing. (On NTFS volumes a small amount of the capacity is reserved, therfore this "
    "message is normal.)",
    "Achtung: Es werden nur %llu MByte getestet, der Datenträger hat aber eine "
    "Gesamtkapazität von %llu MByte. Dadurch werden unter Umständen nicht alle Fehler "
    "gefunden. Für zuverlässige Ergebnisse testen Sie bitte nur frisch formatierte "
    "Datenträger. (Auf NTFS-Laufwerken ist ein kleiner Teil der Kapazität reserviert und "
    "diese Meldung daher normal.)"};

StartDecision Refuse(const TextPair& text, bool refresh) {
  StartDecision decision;
  decision.message = UserMessage{text.Get(), MessageIcon::kError};
  decision.refresh_target = refresh;
  return decision;
}

}  // namespace

uint64_t ParseSizeField(const std::string& text) {
  const std::string field = text.substr(0, kSizeFieldChars);
  size_t i = 0;
  while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i]))) ++i;
  uint64_t value = 0;
  // At most 19 digits: the value cannot pass 2^64.
  for (; i < field.size() && std::isdigit(static_cast<unsigned char>(field[i])); ++i)
    value = value * 10 + static_cast<uint64_t>(field[i] - '0');
  return value;
}

StartDecision DecideStart(CTestEngine& engine, const StartRequest& request) {
  // Scanned again: the target may have changed since the window last looked.
  const uint64_t found = engine.ScanTestData();
  if (request.write && found != 0) return Refuse(kExistingFiles, true);
  if (found == kIrregularTestFiles) return Refuse(kIrregularFiles, true);

  StartDecision decision;
  if (!request.write) {
    engine.SetSize(found);  // the verify pass must find exactly this much
  } else {
    uint64_t size = 0;
    if (request.all_space) {
      engine.SetSize(0);  // resolved to the free space when the run is prepared
      size = engine.GetFreeSpaceMB();
    } else {
      size = ParseSizeField(request.size_text);
      if (size == 0) return Refuse(kZeroSize, false);
      // A free space that cannot be read is all ones and lets every size pass.
      if (size > engine.GetFreeSpaceMB()) {
        StartDecision refusal = Refuse(kNotEnoughSpace, false);
        refusal.set_size_field = engine.GetFreeSpaceMB();
        return refusal;
      }
      engine.SetSize(size);
    }
    const uint64_t capacity = engine.GetCapacityMB();
    if (capacity != kAllOnes && capacity != size) {
      decision.message =
          UserMessage{FormatText(kWarningChars, kCapacityWarning.Get(),
                                 static_cast<unsigned long long>(size),
                                 static_cast<unsigned long long>(capacity)),
                      MessageIcon::kWarning};
    }
  }
  engine.m_endlessVerify = request.endless;
  engine.m_doWrite = request.write;
  engine.m_doVerify = true;
  decision.start = true;
  return decision;
}

}  // namespace kalvex
