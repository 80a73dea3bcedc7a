#include "report/report.h"

#include <cstdint>

#include "engine/language.h"
#include "engine/text_format.h"
#include "kalvex_version.h"
#include "report/units.h"

namespace kalvex {

namespace {

// The report box holds at most 999 characters of a report or error text and
// 499 of the no-error text; anything longer is cut at a character boundary,
// so an overlong error message loses its tail rather than the whole report.
constexpr size_t kReportChars = 999;
constexpr size_t kNoErrorChars = 499;
constexpr size_t kSpeedLineChars = 999;

// The English report keeps "Details:" on the line of the overwritten count
// while the German one breaks after it. The two texts differ on purpose in
// that respect only; do not align them.
constexpr const char* kFullReportEnglish =
    "%s%sThe media is likely to be defective.\r\n"
    "%s OK (%llu sector%s)\r\n"
    "%s DATA LOST (%llu sector%s)\r\n"
    "Details:%s overwritten (%llu sector%s)\r\n"
    "%s slightly changed (< 8 bit/sector, %llu sector%s)\r\n"
    "%s corrupted (%llu sector%s)\r\n"
    "%s aliased memory (%llu sector%s)\r\n"
    "First error at offset: 0x%016llx\r\n"
    "Expected: 0x%016llx\r\n"
    "Found: 0x%016llx\r\n"
    "Kalvex version 1.3\r\n";

constexpr const char* kFullReportGerman =
    "%s%sDer Datenträger ist wahrscheinlich defekt.\r\n"
    "%s OK (%llu Sektor%s)\r\n"
    "%s DATEN VERLOREN (%llu Sektor%s)\r\n"
    "Details:\r\n"
    "%s überschrieben (%llu Sektor%s)\r\n"
    "%s leicht verfälscht (< 8 Bit/Sektor, %llu Sektor%s)\r\n"
    "%s mit Datenmüll (%llu Sektor%s)\r\n"
    "%s mehrfach genutzt (%llu Sektor%s)\r\n"
    "Erster Fehler bei Offset: 0x%016llx\r\n"
    "Soll: 0x%016llx\r\n"
    "Ist: 0x%016llx\r\n"
    "Kalvex Version 1.3\r\n";

constexpr const char* kNoErrorLongEnglish =
    "%sFinished, no error occurred.\r\n"
    "You can now delete the test files *.kvx or verify them again\r\n"
    "as often as you like.\r\n";
constexpr const char* kNoErrorLongGerman =
    "%sFertig, kein Fehler aufgetreten.\r\n"
    "Sie können die Testdateien *.kvx jetzt löschen oder nach Belieben\r\n"
    "nochmals überprüfen.\r\n";
constexpr const char* kNoErrorShortEnglish = "%sFinished, no error occurred.\r\n";
constexpr const char* kNoErrorShortGerman = "%sFertig, kein Fehler aufgetreten.\r\n";

// Unlike the "version 1.3" line inside the full report, which is part of a
// fixed text, this line names the build that wrote the report.
constexpr const char* kVersionLine = "Kalvex v" KALVEX_VERSION_SHORT "\r\n";


const char* Plural(uint64_t count) { return count == 1 ? "" : LangText("s", "en"); }

// The size beside a sector count; the product wraps like every other
// unsigned count, which no real medium comes near.
std::string SectorSize(uint64_t sectors) { return FormatSize(sectors * kSectorSize); }

std::string FullReport(const RunStatus& status, const std::string& error,
                       const std::string& warning) {
  const uint64_t ok = status.m_okSectors;
  const uint64_t overwritten = status.m_overwrittenSectors;
  const uint64_t changed = status.m_changedSectors;
  const uint64_t corrupted = status.m_corruptedSectors;
  // Aliased offsets come from overwritten sectors, which are counted
  // already; adding them would count the same loss twice.
  const uint64_t lost = overwritten + changed + corrupted;
  const uint64_t aliased = status.m_aliasedCount;
  const std::string ok_size = SectorSize(ok);
  const std::string lost_size = SectorSize(lost);
  const std::string overwritten_size = SectorSize(overwritten);
  const std::string changed_size = SectorSize(changed);
  const std::string corrupted_size = SectorSize(corrupted);
  const std::string aliased_size = SectorSize(aliased);
  const FirstError& first = status.m_firstError;
  return FormatText(kReportChars, LangText(kFullReportEnglish, kFullReportGerman), error.c_str(),
                    warning.c_str(), ok_size.c_str(), Ull(ok), Plural(ok), lost_size.c_str(),
                    Ull(lost), Plural(lost), overwritten_size.c_str(), Ull(overwritten),
                    Plural(overwritten), changed_size.c_str(), Ull(changed), Plural(changed),
                    corrupted_size.c_str(), Ull(corrupted), Plural(corrupted),
                    aliased_size.c_str(), Ull(aliased), Plural(aliased), Ull(first.offset),
                    Ull(first.expected), Ull(first.found));
}

}  // namespace

std::optional<std::string> UpdateReport(const RunStatus& status, const std::string& error,
                                        const std::string& warning) {
  if (status.m_firstError.taken) return FullReport(status, error, warning);
  if (!error.empty()) {
    // The error form: the message that ended the run, then the warning.
    std::string text = error + warning;
    TruncateToChars(&text, kReportChars);
    return text;
  }
  return std::nullopt;
}

std::string NoErrorText(const RunStatus& status, const std::string& warning) {
  // Only a run that wrote test files can suggest what to do with them.
  const char* format = status.m_writeStarted
                           ? LangText(kNoErrorLongEnglish, kNoErrorLongGerman)
                           : LangText(kNoErrorShortEnglish, kNoErrorShortGerman);
  return FormatText(kNoErrorChars, format, warning.c_str());
}

std::string SpeedLines(const RunStatus& status) {
  std::string text;
  if (status.m_writeStarted) {
    const std::string rate =
        FormatRate(status.m_mbWritten, static_cast<uint64_t>(status.m_writeStart),
                   static_cast<uint64_t>(status.m_writeLast),
                   static_cast<uint64_t>(status.m_frequency));
    text += FormatText(kSpeedLineChars, LangText("Writing speed: %s\r\n", "Schreibrate: %s\r\n"),
                       rate.c_str());
  }
  if (status.m_verifyStarted) {
    const std::string rate =
        FormatRate(status.m_mbVerified, static_cast<uint64_t>(status.m_verifyStart),
                   static_cast<uint64_t>(status.m_verifyLast),
                   static_cast<uint64_t>(status.m_frequency));
    text += FormatText(kSpeedLineChars, LangText("Reading speed: %s\r\n", "Leserate: %s\r\n"),
                       rate.c_str());
  }
  text += kVersionLine;
  return text;
}

FinalReport BuildFinalReport(const RunStatus& status, const std::string& error,
                             const std::string& warning) {
  FinalReport report;
  // The no-error text goes in first and is replaced by the full report or
  // the error form when either applies, just as the box is filled live.
  report.text = NoErrorText(status, warning);
  if (std::optional<std::string> shown = UpdateReport(status, error, warning)) {
    report.text = std::move(*shown);
    report.error_shown = true;
  }
  report.text += SpeedLines(status);
  return report;
}

std::string ReadBackNote(const RunStatus& status) {
  if (!status.m_verifyStarted) return std::string();
  switch (status.m_cacheBypass) {
    case CacheBypass::kDirect:
      return std::string();
    case CacheBypass::kFlushed:
      return LangText(
          "Note: This file system does not let Kalvex read past the system's caches by\r\n"
          "itself; Kalvex emptied those caches before reading the test data back.\r\n",
          "Hinweis: Dieses Dateisystem lässt Kalvex nicht selbst an den Zwischenspeichern\r\n"
          "des Systems vorbei lesen; Kalvex hat sie vor dem Zurücklesen geleert.\r\n");
    case CacheBypass::kNotGuaranteed:
      return LangText(
          "Attention: Kalvex could not make sure that the test data came back from the\r\n"
          "medium itself and not from a cache on the way (for this file system that\r\n"
          "needs administrator rights). A result without errors is not confirmed.\r\n"
          "Unplug the medium, reconnect it, then run Verify.\r\n",
          "Achtung: Kalvex konnte nicht sicherstellen, dass die Testdaten vom Datenträger\r\n"
          "selbst und nicht aus einem Zwischenspeicher kamen (für dieses Dateisystem sind\r\n"
          "dazu Administratorrechte nötig). Ein Ergebnis ohne Fehler ist nicht bestätigt.\r\n"
          "Datenträger abziehen, wieder anschließen und dann Prüfen wählen.\r\n");
  }
  return std::string();
}

}  // namespace kalvex
