#include "report/verdict.h"

#include "engine/language.h"
#include "engine/text_format.h"
#include "report/units.h"

namespace kalvex {

namespace {

uint64_t FaultySectors(const RunStatus& s) {
  return s.m_overwrittenSectors + s.m_changedSectors + s.m_corruptedSectors;
}

// A fake medium keeps everything up to its real size and nothing beyond: it
// loses whole blocks (all of them from the first fault on, where the file
// system keeps the test files in one piece). A failing one loses sectors
// here and there.
bool LostLikeAFake(const RunStatus& s) {
  if (s.m_okSectors * kSectorSize <= s.m_firstError.offset) return true;
  const uint64_t faulty = FaultySectors(s);
  const uint64_t in_lost_blocks = s.m_lostBlocks * kSectorsPerBlock;
  // Nine in ten faulty sectors in wholly lost blocks, and those blocks at
  // least one in a hundred of the pass (and no fewer than eight).
  return in_lost_blocks * 10 >= faulty * 9 && s.m_lostBlocks >= 8 &&
         s.m_lostBlocks * 100 >= s.m_mbVerified;
}

bool IsMediumFault(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kCreate:
    case ErrorKind::kWrite:
    case ErrorKind::kFlush:
    case ErrorKind::kClose:
    case ErrorKind::kOpen:
    case ErrorKind::kRead:
    case ErrorKind::kPartialBlock:
    case ErrorKind::kAmountMismatch:
      return true;
    default:
      return false;
  }
}

}  // namespace

Verdict JudgeRun(const RunStatus& status, const RunError& error, bool aborted, bool confirmed) {
  Verdict verdict;
  verdict.intact_bytes = status.m_verifyStarted ? status.m_mbVerified * kBlockSize : 0;
  if (status.m_firstError.taken) {
    verdict.intact_bytes = status.m_firstError.offset / kSectorSize * kSectorSize;
    const bool fake = status.m_overwrittenSectors > 0 || LostLikeAFake(status);
    verdict.kind = fake ? VerdictKind::kFakeCapacity : VerdictKind::kFailing;
    return verdict;
  }
  if (error) {
    verdict.kind = IsMediumFault(error.kind) ? VerdictKind::kFailing : VerdictKind::kInconclusive;
    return verdict;
  }
  const bool tested = status.m_verifyStarted && FaultySectors(status) == 0 &&
                      status.m_mbVerified > 0 && !aborted && confirmed;
  verdict.kind = tested ? VerdictKind::kGenuine : VerdictKind::kInconclusive;
  return verdict;
}

const char* VerdictName(VerdictKind kind) {
  switch (kind) {
    case VerdictKind::kGenuine:
      return "genuine";
    case VerdictKind::kFakeCapacity:
      return "fake_capacity";
    case VerdictKind::kFailing:
      return "failing";
    case VerdictKind::kInconclusive:
      return "inconclusive";
  }
  return "inconclusive";
}

std::string VerdictText(const Verdict& verdict, const RunStatus& status,
                        uint64_t capacity_bytes) {
  const std::string intact = FormatSize(verdict.intact_bytes);
  const std::string tested = FormatSize(status.m_mbVerified * kBlockSize);
  switch (verdict.kind) {
    case VerdictKind::kGenuine:
      return FormatText(999,
                        LangText("Verdict: genuine. The medium kept all %s of test data.",
                                 "Urteil: echt. Der Datenträger hat alle %s Testdaten behalten."),
                        tested.c_str());
    case VerdictKind::kFakeCapacity: {
      // What came back intact, wherever the file system put it.
      const std::string holds = FormatSize(status.m_okSectors * kSectorSize);
      if (capacity_bytes == 0) {
        return FormatText(999,
                          LangText("Verdict: this medium is fake: only about %s hold data.",
                                   "Urteil: Dieser Datenträger ist gefälscht: Nur etwa %s "
                                   "speichern Daten."),
                          holds.c_str());
      }
      return FormatText(999,
                        LangText("Verdict: this medium is fake: only about %s of the claimed %s "
                                 "hold data.",
                                 "Urteil: Dieser Datenträger ist gefälscht: Nur etwa %s der "
                                 "angegebenen %s speichern Daten."),
                        holds.c_str(), FormatSize(capacity_bytes).c_str());
    }
    case VerdictKind::kFailing:
      return FormatText(999,
                        LangText("Verdict: this medium is failing: it loses data. %s from the "
                                 "start were intact.",
                                 "Urteil: Dieser Datenträger ist fehlerhaft: Er verliert Daten. "
                                 "%s vom Anfang an waren intakt."),
                        intact.c_str());
    case VerdictKind::kInconclusive:
      return LangText("Verdict: inconclusive. This run cannot tell whether the medium is sound.",
                      "Urteil: offen. Dieser Lauf kann nicht sagen, ob der Datenträger in "
                      "Ordnung ist.");
  }
  return std::string();
}

}  // namespace kalvex
