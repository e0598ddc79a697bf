// Takes the program's QEL-1M constants instead of modelling them.
#include "DiBusModTransport.h"
#include "Qel1mProtocol.h"
