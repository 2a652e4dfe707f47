#ifndef ZEQ_FILEIO_KOWNFOLDERS_H
#define ZEQ_FILEIO_KOWNFOLDERS_H

#include "fileio/kpath.h"

namespace zeqsdk_400 {

// The folders a program keeps its own files in, held as they were judged: its log's (KLib's master
// directory, ZeqLogFile) and its settings' (KLib's configuration directory, KConfigFile). What is
// read and written there goes through the folder held, never by the directory's path again, so that
// a folder another user puts under that path afterwards (exchanged with it, renamed over it) gets
// nothing. A folder held stands for its directory only while KLib's directory is still the one it
// was set with. Process-wide, as KLib's directories.

// KLib's master directory made folder's path, and folder held for it (a descriptor of its own);
// null: no master directory, none held.
void KSetMasterFolder(const KHeldFolder* folder);
// The folder held for KLib's master directory; null where none stands for it.
const KHeldFolder* KGetMasterFolder();
// The same for KLib's configuration directory.
void KSetConfigFolder(const KHeldFolder* folder);
const KHeldFolder* KGetConfigFolder();

}  // namespace zeqsdk_400

#endif
