// The main menu.
#pragma once

// Draws and shows one menu frame and acts on the mouse.
void draw_menu();
