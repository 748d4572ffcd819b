// The game's assets, loaded in the order of the game's table.
#include "assets.h"

#include "voxa/runtime.h"

namespace {

// LoadObject writes the resolved path into its file text, so each call gets a text of its own.
void LoadModel(const char* file, double object) {
    DynString name(file);
    LoadObject(name, object);
}

}  // namespace

void LoadAssets() {
    LoadFont(DynString("font.bmp"), 0);              //  1 large lettering: title, headings, "Game Over"
    LoadFont(DynString("font_small.bmp"), 1);        //  2 subtitle fragments and the credit line
    LoadFont(DynString("font_mid.bmp"), 2);          //  3 menu items, controls text, HUD
    LoadSprite(DynString("highlight.bmp"), 2000);    //  4 loaded, not drawn
    LoadSound(DynString("click.wav"), 0, 1);         //  5 menu confirm, page change, base change
    LoadSound(DynString("cork_pop.wav"), 1, 1);      //  6 menu cursor moves
    LoadSound(DynString("clong_3.wav"), 2, 1);       //  7 the tube ends its recoil
    LoadSound(DynString("hit1.wav"), 3, 1);          //  8 striker 50 out; ball hits the target ball
    LoadSound(DynString("beep.wav"), 4, 1);          //  9 a ball bounces off a side wall
    LoadSound(DynString("zeiger.wav"), 5, 1);        // 10 the pointer turns
    LoadSound(DynString("punch.wav"), 6, 1);         // 11 the pointer is centred
    LoadSound(DynString("reset.wav"), 7, 1);         // 12 the rod fetches and carries the ball
    LoadSound(DynString("spiess.wav"), 8, 1);        // 13 the spikes are up
    LoadModel("table.ddd", 0);                       // 14 the table
    LoadSprite(DynString("table.bmp"), 0);           // 15
    LoadModel("sphere.ddd", 1);                      // 16 the player's ball
    LoadSprite(DynString("sphere.bmp"), 1);          // 17
    LoadModel("sphere.ddd", 10);                     // 18 the striker
    LoadSprite(DynString("sphere_1.bmp"), 10);       // 19
    LoadModel("sphere.ddd", 20);                     // 20 the target ball
    LoadSprite(DynString("sphere_2.bmp"), 20);       // 21
    LoadModel("zeiger.ddd", 2);                      // 22 the pointer (one per base)
    LoadSprite(DynString("zeiger.bmp"), 2);          // 23
    LoadModel("back.ddd", 3);                        // 24 the back wall
    LoadSprite(DynString("back.bmp"), 3);            // 25
    LoadBumpTexture(DynString("back_bump.bmp"), 4);  // 26 the back wall's bump texture
    LoadModel("rand.ddd", 5);                        // 27 the rim
    LoadSprite(DynString("rand.bmp"), 5);            // 28
    LoadModel("tube3.ddd", 6);                       // 29 the tube (one per base)
    LoadSprite(DynString("tube.bmp"), 6);            // 30
    LoadModel("peak.ddd", 8);                        // 31 one spike (31 in a row)
    LoadSprite(DynString("peak.bmp"), 8);            // 32
    LoadModel("stab.ddd", 9);                        // 33 the rod
    LoadSprite(DynString("stab.bmp"), 9);            // 34
    LoadModel("sauger.ddd", 11);                     // 35 the sucker at the rod's end
    LoadSprite(DynString("stab.bmp"), 11);           // 36 the rod's image again
    LoadSprite(DynString("start.bmp"), 99);          // 37 title and menu background
    LoadSprite(DynString("day.bmp"), 100);           // 38 loaded, not drawn
    LoadSprite(DynString("maus.bmp"), 101);          // 39 loaded, not drawn
    LoadSprite(DynString("test.bmp"), 1000);         // 40 loaded, not drawn
    LoadSprite(DynString("pfeil_rechts.bmp"), 1002); // 41 arrow beside the selected main-menu row
    LoadSprite(DynString("pfeil_links.bmp"), 1003);  // 42 arrow on the options and controls pages
}
