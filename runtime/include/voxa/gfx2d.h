// 2D graphics: texture store, BMP files, sprites, fonts, primitives, layers and screen capture.
// Positions are pixels from the top-left corner, y downward; colours are red + green*256 +
// blue*65536; RGB(255, 0, 128) (8388863) is transparent in sprite bitmaps. Ids and positions
// are truncated toward zero; ids outside a store's range are refused (nothing drawn or loaded).
#pragma once

#include <cstdint>

#include "voxa/dynstring.h"

// ---- Texture store
double LoadSprite(const DynString& file, double id);      // id 0..65535; 1 when the file was found, 0 if not (old content kept)
double LoadBumpTexture(const DynString& file, double id); // as LoadSprite, the pixels turned into a normal map
void SetTextureVariant(double n);                         // nonzero: 3D objects use the mipmapped twins; reset by ShowScreen

// ---- Sprites
void DrawSprite(double id, double x, double y);                            // top-left at (x, y) rounded up, natural size
void StretchSprite(double id, double x, double y, double w, double h);     // drawn w x h; negative sizes draw nothing
void ZoomSprite(double id, double x, double y, double zoomX, double zoomY); // scaled about its centre; signs ignored
void RotoSprite(double id, double x, double y, double angle);              // rotated about its centre, degrees counter-clockwise
void RotoZoomSprite(double id, double x, double y, double angle, double zoom); // rotated and scaled; zoom below a pixel: natural size
void GrabSprite(double id, double x, double y, double w, double h);        // copies a rectangle of the frame drawn so far
double SpriteCollision(double id1, double x1, double y1, double id2, double x2, double y2); // 1 when opaque pixels overlap, else 0
void GetSpriteSize(double id, double& w, double& h);                       // image size in pixels; 0 x 0 for an invalid id
void DrawSpriteBillboard(double id, double x, double y, double z, double scale); // camera-facing sprite standing on (x, y, z) in 3D

// ---- Fonts and text
void LoadFont(const DynString& file, double n);            // font n (0..15) from a bitmap, built-in font when not found; n becomes current; unreadable file ends the program
void SetFont(double n);                                    // current font = n clamped to 0..15
void PrintText(const DynString& text, double x, double y); // top-left of the first cell at (x, y) rounded up
void PrintNumber(double number, double x, double y);       // the number as "%g" text
void GetFontSize(double& w, double& h);                    // cell width and image height / 8 of the current font

// ---- Blending and primitives
void SetAlphaMode(double mode);                            // 0 opaque, < 0 translucent, > 0 additive; strength |mode| up to 1
void SetPixel(double x, double y, double colour);          // one pixel in the colour
void DrawLine(double x1, double y1, double x2, double y2, double colour); // both end pixels included
void DrawRect(double x1, double y1, double x2, double y2, double colour);  // filled; both corners inside, any order
void StartPoly(double textureId);                          // begins a polygon; -1 for untextured
void PolyVector(double x, double y, double tx, double ty, double colour); // adds a vertex; (tx, ty) texture pixels from the image's top
void EndPoly();                                            // draws the polygon as a Gouraud fan (counter-clockwise on screen)
void SetViewport(double x, double y, double w, double h);  // 2D origin at (x, y); w or h < 1: whole screen

// ---- Background layers and screen capture
double LoadBmp(const DynString& file);                     // background picture; 1 when loaded, 0 when not found; unreadable ends the program
void LoadBmpFade(const DynString& file);                   // crossfades to the picture, which becomes the background
void UseScreenAsBmp();                                     // the frame drawn so far becomes the background
void BlackScreen();                                        // clears the frame and empties the background
double SaveScreenshot(const DynString& file);              // the last shown frame as a 24-bit BMP; always 1
double SaveSprite(double id, const DynString& file);       // the sprite's image as a 24-bit BMP; 1 if written, else 0
double GetPixel(double x, double y);                       // colour of a pixel of the last shown frame; 0 outside the screen
