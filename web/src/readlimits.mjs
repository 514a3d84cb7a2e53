// How far the viewer reads each file of a magazine, and so the most that a
// file inside a zip may hold: the desktop's table (src/common/readlimits.h),
// which a test keeps this copy equal to. A zip whose files declare more is
// refused whole, on the page as on the desktop.
const KIB = 1024
const MIB = 1024 * KIB

export const READ_LIMITS = new Map([
  ['data/orbex.dat', 2 * MIB],
  ['data/chars.168', 64 * KIB],
  ['orbex.cfg', 64 * KIB],
  ['data/begin.raw', 1 * MIB],
  ['data/ende.pcx', 1 * MIB],
  ['data/BG_8b.pcx', 1 * MIB],
  ['data/cursor.pcx', 64 * KIB],
])
// Any other file is read whole as a module.
export const ANY_FILE_LIMIT = 64 * MIB
// A zip as a whole: its entries (folders included), what its files
// declare together, and its table of contents.
export const ZIP_ENTRY_LIMIT = 4096
export const ZIP_TOTAL_LIMIT = 256 * MIB
export const ZIP_DIRECTORY_LIMIT = 8 * MIB

// The limit of the file at path, relative to the magazine's folder.
export function readLimit(path) {
  return READ_LIMITS.get(path) ?? ANY_FILE_LIMIT
}
