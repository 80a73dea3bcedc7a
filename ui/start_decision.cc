#include "ui/start_decision.h"

#include <cctype>

#include "engine/messages.h"
#include "engine/text_format.h"
#include "ui/target_info.h"

namespace kalvex {

namespace {

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

using target_texts::kAccessError;
using target_texts::kDeleteFiles;
using target_texts::kNoData;

StartDecision Proceed() {
  StartDecision decision;
  decision.start = true;
  return decision;
}

StartDecision Refuse(const std::string& text, bool refresh) {
  StartDecision decision;
  decision.message = UserMessage{text, MessageIcon::kError};
  decision.refresh_target = refresh;
  return decision;
}

StartDecision Refuse(const TextPair& text, bool refresh) { return Refuse(text.Get(), refresh); }

StartDecision RefusePathTooLong(const CTestEngine& engine) {
  RunError error;
  error.kind = ErrorKind::kPathTooLong;
  error.path = engine.TargetPath();
  return Refuse(RenderError(error), false);
}

// Verify needs regular test data; what the target holds instead says why not.
StartDecision RefuseVerify(CTestEngine& engine, uint64_t found) {
  if (found == kIrregularTestFiles) return Refuse(kIrregularFiles, true);
  return Refuse(engine.TestFilesPresent() ? kDeleteFiles : kNoData, true);
}

// The size of a write run, or a refusal. all_space_free is the free space.
StartDecision DecideWriteSize(const StartRequest& request, uint64_t free_mb, uint64_t* size) {
  if (request.all_space) {
    // Less than one MByte free: nothing could be tested, and nothing tested
    // must never end as a pass.
    *size = free_mb;
    if (free_mb == 0) return Refuse(kNotEnoughSpace, false);
    return Proceed();
  }
  *size = ParseSizeField(request.size_text);
  if (*size == 0) return Refuse(kZeroSize, false);
  if (*size > free_mb) {
    StartDecision refusal = Refuse(kNotEnoughSpace, false);
    refusal.set_size_field = free_mb;
    return refusal;
  }
  return Proceed();
}

}  // namespace

uint64_t ParseSizeField(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  uint64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
  }
  return value;
}

bool IsDigitsOnly(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

StartDecision DecideStart(CTestEngine& engine, const StartRequest& request) {
  if (const RunError unusable = engine.ProbeTarget()) return Refuse(RenderError(unusable), true);
  const uint64_t free_mb = engine.GetFreeSpaceMB();
  if (free_mb == kAllOnes) return Refuse(kAccessError, true);

  // Scanned again: the target may have changed since the window last looked.
  const uint64_t found = engine.ScanTestData();
  if (request.write && (found != 0 || engine.TestFilesPresent()))
    return Refuse(kExistingFiles, true);

  StartDecision decision;
  if (!request.write) {
    if (found == 0 || found == kIrregularTestFiles) return RefuseVerify(engine, found);
    if (!engine.TestFileNamesFit(found)) return RefusePathTooLong(engine);
    engine.SetSize(found);  // the verify pass must find exactly this much
  } else {
    uint64_t size = 0;
    const StartDecision sized = DecideWriteSize(request, free_mb, &size);
    if (!sized.start) return sized;
    if (!engine.TestFileNamesFit(size)) return RefusePathTooLong(engine);
    // All free space is resolved when the run is prepared.
    engine.SetSize(request.all_space ? 0 : size);
    const uint64_t capacity = engine.GetCapacityMB();
    if (capacity != kAllOnes && capacity != size) {
      decision.message =
          UserMessage{FormatText(kWarningChars, kCapacityWarning.Get(), Ull(size), Ull(capacity)),
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
