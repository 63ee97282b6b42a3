// The drive that "REP_CDROMDRIVE" and "REP_CDROM" stand for.
#pragma once

// The root ("Q:\") of the first CD-ROM drive from A to Z, or "E:\" when there
// is none. The drives are probed at every call; the text stays valid until
// the next one.
const char* GetCdromDrive();
