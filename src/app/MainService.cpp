// The start-up call to the maker's service.
#include "app/Main.h"

void TFrmVantoru::StartServiceCall() {}
