// Small numeric helpers shared by the framework: bit flags, rounding, scale steps, vectors,
// means, gaussian noise, degrees/minutes/seconds and the sinc function.
#pragma once

#include <cstdint>

// Bits.
// When value and mask are both non-zero: all bits of mask are set in value; else value == mask.
bool HasFlags(uint32_t value, uint32_t mask);
void SetFlags(uint8_t& flags, uint8_t mask, bool set);
void SetFlags(uint32_t& flags, uint32_t mask, bool set);
// Clears the bits of mask when all are set, else sets them all; returns HasFlags(flags, mask).
bool ToggleFlags(uint32_t& flags, uint32_t mask);
int CountBits8(uint8_t value);
int CountBits16(uint16_t value);

// Rounding.
// Half away from zero; a result outside the 32-bit range saturates, NaN gives 0.
int32_t RoundToInt(double v);
// v rounded to a multiple of 1 / k; v unchanged when v * k is not within the 32-bit range.
double RoundToResolution(double v, double k);
// v rounded to a multiple of step; 0.0 when step is 0.0.
double RoundToStep(double v, double step);
// v rounded half away from zero to n decimals; never -0.0. v stays as it is when v times 10^n is
// not finite (309 or more decimals, or a value too large for that many).
double RoundToDecimals(double v, int n);

// A step of 2, 5 or 10 times a power of ten for an axis of `range`, with the number of
// subdivisions of that step (2 or 5). A range of 0.0 gives step 0.0 and 2 subdivisions.
void GetNiceStep(double range, double& step, int& subdivisions);
// Scales v[0..n) to unit length and returns the old length (0.0, v unchanged, below 1e-6).
// A single element has no direction: its old value is returned and it becomes 1.0.
double NormalizeVector(double* v, int n);
// A sample of an approximately normal distribution with standard deviation sigma.
double GaussianNoise(double sigma);

// Statistics.
double Mean(int n, const double* values);
// Weights below 0.0, or no weights at all, count as 1.0.
double WeightedMean(int n, const double* values, const double* weights);
// Mean weighted by 1 / sigma^2 (sigmas of 0.0 or below count as weight 1.0); mean and
// sigmaOfMean, when given, receive the mean and 1 / sqrt(sum of weights).
double WeightedMeanInverseVariance(int n, const double* values, const double* sigmas,
                                   double* mean, double* sigmaOfMean);
double SimpsonMean(double a, double b, double c);
// The standard deviation in the direction `angle` (degrees) of an error ellipse with sigmaA
// across and sigmaB along that direction; 1.0 when either sigma is 0.0.
double DirectionalSigma(double angle, double sigmaA, double sigmaB);

// Degrees, minutes and seconds.
void SplitDegreesDms(double value, bool latitude, int& degrees, int& minutes, double& seconds,
                     char& hemisphere);
char SplitDegreesDm(double value, bool latitude, int& degrees, double& minutes, char& hemisphere);
// Negative for the hemispheres 'S' and 'W' (either case).
double JoinDmsDegrees(int degrees, int minutes, double seconds, char hemisphere);

// sin(x) / x, or sin(pi x) / (pi x) with timesPi, and its derivative by its argument;
// series near zero.
double Sinc(double x, bool timesPi);
double SincDerivative(double x, bool timesPi);
