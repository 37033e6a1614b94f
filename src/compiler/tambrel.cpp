#include "compiler/tambrel.h"

#include <stdexcept>
#include "compiler/expansion.h"
#include "support/atomic_file.h"

namespace tambrel {

namespace {

// Both are touched only on the user-interface thread, which is the only one that compiles.
std::function<void()>& EventsHook() {
  static std::function<void()> hook;
  return hook;
}
bool GCompileRunning = false;

class TCompileGuard {
 public:
  TCompileGuard() {
    if (GCompileRunning) throw std::logic_error("A compile is already running");
    GCompileRunning = true;
  }
  ~TCompileGuard() { GCompileRunning = false; }
  TCompileGuard(const TCompileGuard&) = delete;
  TCompileGuard& operator=(const TCompileGuard&) = delete;
};

std::string TakeRootName(TId* id) {
  std::unique_ptr<TId> owned(id);
  return owned ? owned->Name : std::string();
}

}  // namespace

TTambrel::TTambrel(std::string name, TDefinition* definitions)
    : TProcDef(std::move(name), nullptr, definitions),
      Batch(std::make_unique<TTimedBatch>()),
      MaxItems(TExpansion::DefaultMaxItems),
      MaxCallDepth(TExpansion::DefaultMaxCallDepth),
      MaxSteps(TExpansion::DefaultMaxSteps) {
  FileName = TSourceName(Name);
  if (Definitions) AddBuiltins();
}

TTambrel::TTambrel(TId* name, TDefinition* definitions) : TTambrel(TakeRootName(name), definitions) {}

TTambrel::~TTambrel() {
  ClearBatch();
  Batch.reset();
  Player = nullptr;
}

void TTambrel::AddBuiltins() {
  // One walk to the end of the list for both: a big script's top level has many thousands of entries.
  TDefinition* last = Definitions.get();
  while (last->Next) last = last->Next;
  for (const char* name : {"Out", "Nop"}) {
    auto* builtin = new TProcDef(std::string(name), nullptr, nullptr);
    builtin->Parent = this;
    builtin->Resolved = true;
    AppendToList(last, builtin);
    last = builtin;
  }
}

bool TTambrel::Resolve() {
  Resolved = ResolveBody();
  return Resolved;
}

void TTambrel::SetProcessEventsHook(std::function<void()> hook) {
  EventsHook() = std::move(hook);
}

bool TTambrel::CompileRunning() {
  return GCompileRunning;
}

void TTambrel::ProcessEvents() {
  if (EventsHook()) EventsHook()();
}

int32_t TTambrel::Compile(TPlayer* player, const std::string& dumpFileName) {
  TCompileGuard running;
  int32_t result = 1;
  FFaultSite = nullptr;
  try {
    result = CompileItems(player);
  } catch (const std::exception& fault) {
    // In the shape of every other message, at the statement it arose in, so that an editor can go there.
    ReportError(FFaultSite != nullptr ? FFaultSite : this, fault.what());
    throw;
  }
  if (!dumpFileName.empty()) WriteDump(dumpFileName);
  return result;
}

int32_t TTambrel::CompileItems(TPlayer* player) {
  ClearBatch();
  Player = player;
  PlayerLifetime = player != nullptr ? player->Lifetime() : std::weak_ptr<const void>();
  if (!Resolve()) {
    ReportError(this, "Could not resolve all references.");
    return 1;
  }
  ProcessEvents();
  try {
    TExpansion out(*Batch, MaxItems, MaxCallDepth, MaxSteps);
    Expand(0, out);
    out.Flush();
    Batch->Append(new TEndMarker(Batch->LastTime(), this));
  } catch (const ECallTooDeep&) {
    // Reported where the call was found; the half-made timeline is of no use.
    Batch->Clear();
    return 1;
  } catch (...) {
    // Nothing has reached the player yet; free what was generated before passing the fault on.
    Batch->Clear();
    throw;
  }
  ProcessEvents();
  if (Player) Player->AddItems(Batch.get());
  return 0;
}

void TTambrel::ClearBatch() {
  if (!Batch) return;
  if (Player && !PlayerLifetime.expired()) Player->RemoveItems(Batch.get());
  Batch->Clear();
}

void TTambrel::WriteDump(const std::string& dumpFileName) {
  WriteFileAtomically(dumpFileName, [this](std::ostream& file) { DumpList(file, 0); });
}

}  // namespace tambrel
