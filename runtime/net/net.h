// Network games: hosting, joining, players and text messages.
#pragma once
