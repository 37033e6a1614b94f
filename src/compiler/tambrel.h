#pragma once
// The root of a script: holds the top-level statements and the built-ins Out and Nop, owns the batch of
// generated items and compiles the tree into the player.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "compiler/statements.h"
#include "player/player.h"
#include "player/timed_batch.h"

namespace tambrel {

class TTambrel : public TProcDef {
 public:
  // Owns the whole top-level list definitions (may be null: then no built-ins are added). The TId
  // form takes the name and destroys the TId.
  TTambrel(std::string name, TDefinition* definitions);
  TTambrel(TId* name, TDefinition* definitions);
  // Withdraws the items from the player, while it lives, before freeing them.
  ~TTambrel() override;

  TErrorHandler OnError;      // receives every message of the tree; none when empty
  TPlayer* Player = nullptr;  // not owned; may go first (see PlayerLifetime)
  std::unique_ptr<TTimedBatch> Batch;
  std::weak_ptr<const void> PlayerLifetime;  // of Player: withdrawn from only while it lives

  // Caps for runaway scripts; tests lower them.
  int64_t MaxItems;
  int32_t MaxCallDepth;
  int64_t MaxSteps;

  bool Resolve() override;
  // 0 when the script resolved and expanded, 1 when not. Integer overflow, range errors,
  // ETooManyItems and ETooMuchWork leave it (nothing reaches the player then, nor the dump file), after
  // they have been reported through OnError with the position of the statement being resolved or
  // expanded when they arose. A dump file that cannot be written raises EInOutError, unreported.
  int32_t Compile(TPlayer* player, const std::string& dumpFileName);
  void ClearBatch();
  void WriteDump(const std::string& dumpFileName);
  const char* ClassName() const override { return "TTambrel"; }

  // Lets the user interface handle its pending events during a compile (the shell installs it).
  static void SetProcessEventsHook(std::function<void()> hook);
  // True while any root is inside Compile; the shell must not start a compile or unload then.
  static bool CompileRunning();

 protected:
  TErrorHandler* ErrorHandler() override { return OnError ? &OnError : nullptr; }
  TDefinition** FaultSiteSlot() override { return &FFaultSite; }

 private:
  void AddBuiltins();
  int32_t CompileItems(TPlayer* player);
  static void ProcessEvents();

  TDefinition* FFaultSite = nullptr;  // the innermost statement a fault of this compile passed
};

}  // namespace tambrel
