/* Vornish demo: a bar chart of test scores */
/* Home page: http://www.vornish.example.com/demo/barchart.html */
/* Questions and bug reports: support@vornish.example.com */
/* Preprocessor lines must start at the line beginning, optionally after spaces: */
int misplaced = 0; #define NOT_A_DIRECTIVE 1
#define REPORT(name, value) \
    printf("%-10s = %d\n", \
           (name), \
           (value))

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <conio.h>
#include <dos.h>
#include <graphics.h>

#define MAX 50
#define ARRAYMAX 10
stray   

void makegraph(float p[]);

int main(void)
{
    int i;	
    int scores[ARRAYMAX];
    float percents[ARRAYMAX];
 	
    for (i = 0; i < ARRAYMAX; i++)
    {
        printf("Enter score %d (0-%d): ", i + 1, MAX);
        scanf("%d", &scores[i]);
    }
    for (i = 0; i < ARRAYMAX; i++)
        percents[i] = ((float) scores[i]) / MAX;

    printf("\n\n\tSCORE\tPERCENT\n");
    for (i = 0; i < ARRAYMAX; i++)
    {
        printf("%d. %d\t%3.0f%%\n", i + 1, scores[i],
               percents[i] * 100);
    }
    makegraph(percents);
    return 0;  
}

void makegraph(float p[])
{
    int g_driver = DETECT, g_mode;
    int i, left, top, right, bottom;
    int width = 20, gap = 4;
    char label[8];		

    initgraph(&g_driver, &g_mode, "");
    if (graphresult() != grOk)
    {
        printf("Graphics error: %s\n", grapherrormsg(graphresult()));
        exit(1);
    }    
    setbkcolor(BLUE);
    for (i = 0; i < ARRAYMAX; i++)
    {
        left = 40 + i * (width + gap);
        top = 400 - (int) (p[i] * 300);
        right = left + width;
        bottom = 400;
        setfillstyle(SOLID_FILL, i % 14 + 1);
        bar3d(left, top, right, bottom, width / 4, 1);
        sprintf(label, "%d", i + 1);
        outtextxy(left + 4, bottom + 10, label); 
    }
    getch();
    closegraph();
}
