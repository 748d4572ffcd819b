// 3D engine: model files, object store, scene state, rendering with shadows, queries.
#pragma once
