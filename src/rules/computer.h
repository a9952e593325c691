// The computer opponent: steers player 2 towards the apple.
#pragma once

void steer_computer();
