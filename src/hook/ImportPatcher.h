// Points the import slots of the process's modules at the hooks and back.
//
// Every loaded module but this library is walked: each import address slot that holds the
// address of an intercepted function is rewritten to the hook. A pass changes all of its slots or
// none: the pages are all made writable first, and if one of them cannot be, nothing is written.
// The slots changed are remembered so that removal puts back exactly what was there.
//
// Under the runtime lock, after ResolveRealFunctions.
#pragma once

namespace palisor::hook {

// Patches the modules loaded by now (those patched before are skipped: their slots no longer
// hold real addresses). False when the pass could not be completed; nothing was changed then.
bool PatchLoadedModules();

// Puts back every slot still holding a hook. Slots of modules unloaded since are left alone.
void RestorePatchedSlots();

}  // namespace palisor::hook
