#pragma once
// Structural equality of wire values: same kinds and same contents, objects
// compared by key (entry order carries no meaning), floats and doubles by
// their bits (so a NaN read back from the wire equals the one written).

#include "wire/ORVDataArray.h"
#include "wire/ORVDataElement.h"
#include "wire/ORVDataObject.h"

bool ORVValuesEqual(const ORVDataElement& a, const ORVDataElement& b);
bool ORVValuesEqual(const ORVDataObject& a, const ORVDataObject& b);
bool ORVValuesEqual(const ORVDataArray& a, const ORVDataArray& b);
