#pragma once
// Printer geometry of the print jobs: the paper and the printable area of a printer in
// report units (3.78 per millimetre), from its device capabilities and its device mode's
// scale. The page layouts compare these with what they were last laid out for.
#include "report/LightRep.h"

// Report units per millimetre.
constexpr double UnitsPerMm = 3.78;

// The device mode's scale divided by 100; 1 when that is not above 0. printer null means
// the application printer.
float PrinterScale(TPrinter* printer = nullptr);
// The whole paper: (0, 0, width, height), rounded halves to even.
TRect PaperRect(TPrinter* printer = nullptr);
// The printable area measured from the paper's top-left corner.
TRect PrintableRect(TPrinter* printer = nullptr);
