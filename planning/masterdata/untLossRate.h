#pragma once
// Issue loss: the account set's loss formula (multiply or divide), the plain
// loss rate and the stepped loss text ("2|100:3%|500:4%-|1.5%") that item
// settings and bill-of-materials rows keep, and its evaluation on a standard
// quantity. Numbers in step texts are written and read with a decimal point,
// whatever the locale.
#include <QString>

// The loss formula of the account set: False multiplies (issue = quantity ×
// (1 + rate%)), True divides (issue = quantity ÷ (1 − rate%)). Read once per
// process from QZ_MRP_LossRateType; a failed read raises and is tried again
// on the next call.
bool GetLossRateType();
// Forgets the cached formula so the next call reads it again (tests, and a
// new login on another account set).
void ResetLossRateType();
// Sets the cached formula without reading it (tests).
void SetLossRateTypeForTest(bool ADivide);

// Loss quantity of AQty at ARate percent under the current formula, rounded
// to 8 decimals (half to even); 0 for a rate not above 0, and in the divide
// mode for a rate of 100 or more.
double CalcStepLossRateQty(double AQty, double ARate);
// The rate in percent that gives ALossQty on AQty, rounded to 8 decimals; 0
// for a loss not above 0 and for a quantity that leaves the rate undefined.
double CalcLossRateQty(double AQty, double ALossQty);
// The total loss of AQty under a step text; an empty text charges the plain
// rate ADefaultRate.
double ParseLossRateSteps(const QString& AText, double AQty, double ADefaultRate);

// A number of a step text: read with a point (a comma is taken as the point
// of texts written under another locale); 0 when unreadable.
double LossTextToFloat(const QString& AText);
// A number as step texts write it: the shortest text with a point.
QString LossFloatToText(double AValue);
