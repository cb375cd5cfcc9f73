// The file-scope working values of both programs.  All start at zero.
#include "model.hpp"

namespace model {

// Parameters
Parameters P;

// Solar day
SolarDay S;

// Cell
double CF;
double beta;
int U;
double E1, E2, E3;
double E;
double F;
double X;
double X_per;
double X2;

}  // namespace model
