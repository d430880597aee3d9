#pragma once

// The wizard's rules that need no window: which pages take part, which
// buttons a page offers, how much space an installation needs, the texts
// and numbers the pages show, and where the result dialog puts its boxes.

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

enum class WizardPage
{
  AllUsers,
  Info,
  Licence,
  Dir,
  DirectX,
  Setup
};

// The pages in their order: welcome; information and licence when the
// script asks for them; destination; DirectX in its dialog mode; copy.
std::vector<WizardPage> PageSequence(bool infoPage, bool licencePage, bool directXDialog);

// PSWIZB_ flags for page index of count: Back after the first page, Next
// before the last one unless the licence gate holds on that page, nothing at
// all on the last (copy) page.
DWORD WizardButtons(int count, int index, bool licenceBlocksNext, int licencePageIndex);

// Bytes an installation of totalSize bytes needs free: a tenth more, and
// 10 MiB besides, computed in floating point and truncated.
std::int64_t RequiredSpace(std::int64_t totalSize);

// The free-space text: format (the stringtable's text) given the available
// and the required space in GiB as two floating-point numbers, printf-style.
// The format comes from the medium's data: a conversion other than a
// floating-point one (%f, %e, %g and their kin, with flags, width and
// precision) or "%%", or more than two of them, is not formatted, and the
// text is shown as it stands.
std::wstring FreeSpaceText(const std::wstring &format, double availableGiB, double requiredGiB);

// The copy page's progress position, 0 to 100: copied of total bytes,
// truncated; 0 when the total is not above 0.
int ProgressPosition(std::int64_t copied, std::int64_t total);

// The detected-version text of the DirectX page: the not-found text when
// version and revision are both 0; "major.minor" for a version whose high
// word is 4 (its low word and the revision's high word); all four words for
// a later version; "3" below that.
std::wstring DirectXVersionText(DWORD version, DWORD revision, const std::wstring &notFound);

// The result dialog's check box of finish action i (0 to 9): 1023 to 1030,
// then 1032, then 1031 (the two lowest boxes have their identifiers swapped).
int ResultBoxId(int action);

// A finish action as the result dialog offers it: false when the text is 6
// characters or shorter or has no "|" at position 6 or later (no box).
// Otherwise ticked is whether position 2 holds "+" and label is what follows
// the "|".
bool FinishActionBox(const std::wstring &line, bool &ticked, std::wstring &label);

// The OK button's new top: the anchor's bottom plus 7 pixels, or 70 without
// an anchor; the client height ends 7 pixels below the button.
struct ResultLayout
{
  int okTop;
  int clientHeight;
};
ResultLayout LayOutResult(bool hasAnchor, int anchorBottom, int okHeight);
