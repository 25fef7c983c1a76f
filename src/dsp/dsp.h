// Everything a user of the processing chain needs.
#pragma once

#include "dsp/chain.h"
#include "dsp/dsp_records.h"
#include "dsp/dsp_state.h"
#include "dsp/dsp_tables.h"
#include "dsp/dynamics.h"
#include "dsp/filters.h"
#include "dsp/table_records.h"
